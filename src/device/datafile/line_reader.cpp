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
      removeCarriageReturns_(platform::textModeKeepsCarriageReturn()) {}

void LineReader::wipe() {
    memset(buffer_, 0, sizeof buffer_);
    dirty_ = 0;
}

LineReader::Status LineReader::next() {
    if (ctrlZLine_ != 0) return End;  // the device's runtime hands over nothing after a Ctrl-Z
    // What earlier pieces left is zeroed, so that the bytes this read puts in can be told apart.
    memset(buffer_, 0, dirty_);
    if (fgets(buffer_, kBufferSize, file_) == 0) return ferror(file_) ? Error : End;
    const bool startsLine = lineEnded_;
    const size_t line = startsLine ? number_ + 1 : number_;
    size_t count = strlen(buffer_);
    size_t extent = count;
    if (count < kBufferSize - 1 && (count == 0 || buffer_[count - 1] != '\n')) extent = extentRead(count);
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
