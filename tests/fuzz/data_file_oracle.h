// What a data file's own bytes can ask W for: texts after white space, marked names, boot
// device names and times, found by plain searches over the bytes, apart from W's readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace fuzz {

// The data file's headers and names as the format documents them, written out again here, so
// that a fault in the program's own tables is caught rather than copied.
extern const std::vector<std::string_view> kHeaders;  // in the order R writes them
extern const std::vector<std::string_view> kEcpDmaNames;
extern const std::vector<std::string_view> kBootNames;  // by code, 0 to 15
extern const std::vector<std::string_view> kDayNames;   // by bit of the day mask

// A single-choice section ("Printer Mode" included) and the firmware function behind it.
struct ChoiceNames {
    uint8_t function;
    std::string_view header;
    std::vector<std::string_view> names;  // by value
};
// Null when `function` (or `header`) has no single-choice section.
const ChoiceNames* choiceByFunction(uint8_t function);
const ChoiceNames* choiceByHeader(std::string_view header);

// The first position of `text` among `names`, or their count when it is none of them.
size_t firstIndex(const std::vector<std::string_view>& names, std::string_view text);
// The boot code W sets for a name of the table: the first code that carries it.
size_t firstBootCode(std::string_view name);

bool isWhiteSpace(char c);
bool contains(std::string_view scope, std::string_view text);

// The bytes of one data file and its lines as W numbers them: split at line feeds, from 1.
class FileText {
public:
    explicit FileText(std::string_view bytes);
    std::string_view all() const { return bytes_; }
    std::string_view line(size_t number) const;  // empty when there is no such line
    size_t lineCount() const { return lines_.size(); }
    // Whether a line feed ends the line (the last line of a file may have none).
    bool endsWithLineFeed(size_t number) const;

private:
    std::string_view bytes_;
    std::vector<std::string_view> lines_;
};

// A text that W can take from one entry line: not empty, not led by white space (skipped), with
// no control byte (below 20h other than the tab, or 7Fh: W refuses such a line), and no longer
// than a 255-byte piece leaves.
bool isTakenText(std::string_view text);

bool isControlByte(char c);

// Whether W may take a password or a tag from a line: a whole line of at most 254 characters
// before its line feed (255 without one) that holds no control byte, once a Ctrl-Z has cut it
// and the carriage return of a CR LF is gone. Zero bytes at the very end of the file may or may
// not be read, so a last line that holds them may be either.
enum class LineState { Intact, Damaged, Either };
LineState lineState(const FileText& file, size_t number);
// Whether `text` stands in `scope` right after a white-space byte, as an entry's text does
// once the line's leading white space is skipped.
bool standsAsEntry(std::string_view scope, std::string_view text);
// Whether "*" and `name` stand in `scope` right after white space: a marked option.
bool standsMarked(std::string_view scope, std::string_view name);

// Every hour and minute that a time line in `scope` can give, as the device's decimal
// conversion reads them, cut to 8 bits: a superset, since the line may be cut into pieces.
std::set<std::pair<uint8_t, uint8_t>> timesIn(std::string_view scope);

// What W makes of a file's start before it reads a line: UTF-16 by its byte order mark; a first
// line that ends in a carriage return alone, found within the first 255 bytes after a UTF-8
// mark (and the one byte after them that W looks ahead); anything else is read, from `text`
// on (the file without its UTF-8 mark).
struct FileStartVerdict {
    enum class Kind { Text, Utf16, CrAlone } kind;
    std::string_view text;
};
FileStartVerdict fileStart(std::string_view bytes);

}  // namespace fuzz
