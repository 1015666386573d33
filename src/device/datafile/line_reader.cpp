// W's line reader.
#include "line_reader.h"

#include <string.h>

#include "platform.h"
#include "text_classes.h"

namespace {

// The byte at which the device's text mode ends a file's input.
const char kCtrlZ = '\x1A';

}  // namespace

LineReader::LineReader(FILE* file)
    : file_(file),
      buffer_(),
      number_(0),
      length_(0),
      dirty_(0),
      ctrlZLine_(0),
      damage_(LineDamage::None),
      lineEnded_(true),
      beganLongLine_(false),
      heldZeroByte_(false),
      removeCarriageReturns_(platform::textModeKeepsCarriageReturn()),
      heldAhead_(false),
      heldStatus_(End) {}

// The first bytes are read one at a time: a byte order mark goes, and bytes that begin no mark
// begin the first piece, whose read goes on after them, so that the piece is what one read of
// the file without the mark would have given. At most one byte is given back to the file.
FileStart::Value LineReader::start() {
    heldAhead_ = true;
    heldStatus_ = Piece;
    const int first = fgetc(file_);
    if (first == 0xFF || first == 0xFE || first == 0xEF) {
        const int second = fgetc(file_);
        if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) return FileStart::Utf16;
        size_t kept = 0;
        buffer_[kept++] = static_cast<char>(first);
        int following = second;
        if (first == 0xEF && second == 0xBB) {
            const int third = fgetc(file_);
            if (third == 0xBF) {
                buffer_[0] = '\0';  // the UTF-8 mark: skipped
                heldStatus_ = readPiece();
                return heldStatus_ == Piece ? firstLineEnd(extentOfPiece()) : FileStart::Text;
            }
            buffer_[kept++] = static_cast<char>(second);
            following = third;
        }
        if (following == EOF) {
            if (ferror(file_)) heldStatus_ = Error;
        } else if (following == '\n') {
            buffer_[kept] = '\n';
        } else {
            (void)ungetc(following, file_);
            const int room = static_cast<int>(kBufferSize - kept);
            if (fgets(buffer_ + kept, room, file_) == 0 && ferror(file_)) heldStatus_ = Error;
        }
        return heldStatus_ == Piece ? firstLineEnd(extentOfPiece()) : FileStart::Text;
    }
    if (first == EOF) {
        heldStatus_ = ferror(file_) ? Error : End;
        return FileStart::Text;
    }
    (void)ungetc(first, file_);
    heldStatus_ = readPiece();
    return heldStatus_ == Piece ? firstLineEnd(extentOfPiece()) : FileStart::Text;
}

void LineReader::wipe() {
    memset(buffer_, 0, sizeof buffer_);
    dirty_ = 0;
}

LineReader::Status LineReader::readPiece() {
    // What earlier pieces left is zeroed, so that the bytes this read puts in can be told apart.
    memset(buffer_, 0, dirty_);
    if (fgets(buffer_, kBufferSize, file_) == 0) return ferror(file_) ? Error : End;
    return Piece;
}

// The bytes that the piece in the buffer took from the file.
size_t LineReader::extentOfPiece() {
    const size_t count = strlen(buffer_);
    if (count < kBufferSize - 1 && (count == 0 || buffer_[count - 1] != '\n')) return extentRead(count);
    return count;
}

// How the first line of the piece read ahead ends: a carriage return, or a run of them, that a
// line feed follows is a CR LF line end; one that anything else follows, the input's end
// included, is a line end of a carriage return alone. Nothing after a Ctrl-Z is read.
FileStart::Value LineReader::firstLineEnd(size_t extent) {
    for (size_t i = 0; i < extent; ++i) {
        if (buffer_[i] == '\n' || buffer_[i] == kCtrlZ) return FileStart::Text;
        if (buffer_[i] != '\r') continue;
        size_t after = i + 1;
        while (after < extent && buffer_[after] == '\r') ++after;
        if (after < extent) return buffer_[after] == '\n' ? FileStart::Text : FileStart::CrAlone;
        if (extent < kBufferSize - 1) return FileStart::CrAlone;  // the input ends in it
        // The piece is full: the byte after it, read ahead and given back.
        const int following = fgetc(file_);
        if (following == EOF) return ferror(file_) ? FileStart::Text : FileStart::CrAlone;
        (void)ungetc(following, file_);
        return following == '\n' ? FileStart::Text : FileStart::CrAlone;
    }
    return FileStart::Text;  // no line end in the first piece: a long first line
}

LineReader::Status LineReader::next() {
    if (ctrlZLine_ != 0) return End;  // the device's runtime hands over nothing after a Ctrl-Z
    const Status status = heldAhead_ ? heldStatus_ : readPiece();
    heldAhead_ = false;
    if (status != Piece) return status;
    const bool startsLine = lineEnded_;
    const size_t line = startsLine ? number_ + 1 : number_;
    size_t count = strlen(buffer_);
    size_t extent = extentOfPiece();
    dirty_ = extent;
    lineEnded_ = extent > 0 && buffer_[extent - 1] == '\n';
    const char* ctrlZ = static_cast<const char*>(memchr(buffer_, kCtrlZ, extent));
    if (ctrlZ != 0) {
        // The device reads what comes before it as the last line, without a line feed.
        ctrlZLine_ = line;
        extent = static_cast<size_t>(ctrlZ - buffer_);
        if (extent == 0) return End;
        buffer_[extent] = '\0';
        count = strlen(buffer_);
        lineEnded_ = true;
    }
    number_ = line;
    heldZeroByte_ = extent > count;
    if (lineEnded_) {
        if (removeCarriageReturns_ && count >= 2 && buffer_[count - 2] == '\r' && buffer_[count - 1] == '\n') {
            buffer_[count - 2] = '\n';
            buffer_[--count] = '\0';
        }
    } else if (!peekLineEnd(count)) {
        return Error;
    }
    length_ = count;
    beganLongLine_ = startsLine && !lineEnded_;
    damage_ = damageOf(startsLine, count);
    return Piece;
}

// The piece's damage, once its line end is known: the line feed that ends it is no part of its
// text; a zero byte inside it is a control byte too.
LineDamage::Value LineReader::damageOf(bool startsLine, size_t count) const {
    if (!startsLine || !lineEnded_) return LineDamage::PartOfLongLine;
    if (heldZeroByte_) return LineDamage::ControlByte;
    const size_t textLength = count > 0 && buffer_[count - 1] == '\n' ? count - 1 : count;
    for (size_t i = 0; i < textLength; ++i) {
        if (isControlByte(buffer_[i])) return LineDamage::ControlByte;
    }
    return LineDamage::None;
}

// The bytes that the last read put in the buffer when its text ends before a line feed and
// before the buffer is full: a zero byte cut the text, or the input ended.
size_t LineReader::extentRead(size_t textLength) {
    if (!feof(file_)) {
        // fgets went on to the line feed or filled the buffer. The first line feed after the
        // text is this line's, since fgets overwrote everything before it.
        const void* lineFeed = memchr(buffer_ + textLength + 1, '\n', kBufferSize - 2 - textLength);
        return lineFeed != 0 ? static_cast<size_t>(static_cast<const char*>(lineFeed) - buffer_) + 1 : kBufferSize - 1;
    }
    // The input ended: the read reaches the last byte that is not zero (zero bytes at the very
    // end of the file hide no text).
    size_t extent = kBufferSize - 1;
    while (extent > textLength && buffer_[extent - 1] == '\0') --extent;
    return extent;
}

// After a piece that ends before its line does: whether the line ends here after all (the input
// ends, or a CR LF was cut between two pieces). One character read ahead always goes back.
// False on a read error.
bool LineReader::peekLineEnd(size_t count) {
    const int following = fgetc(file_);
    if (following == EOF) {
        if (ferror(file_)) return false;
        lineEnded_ = true;  // the last line, without a line feed
    } else if (following == kCtrlZ) {
        ctrlZLine_ = number_;  // the input ends here on the device
        lineEnded_ = true;
    } else if (removeCarriageReturns_ && following == '\n' && count == kBufferSize - 1 && buffer_[count - 1] == '\r') {
        // CR LF cut between two pieces: read it as the device's text mode would, one line feed.
        buffer_[count - 1] = '\n';
        lineEnded_ = true;
    } else {
        (void)ungetc(following, file_);
    }
    return true;
}
