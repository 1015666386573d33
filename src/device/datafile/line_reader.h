// W's line reader: a text-mode data file in pieces of at most 255 characters, as the device's
// runtime hands them over, with what makes a piece unfit to give a password or an asset tag.
#pragma once

#include <stdio.h>

#include "fixed_width.h"

// What makes a line unfit to give a password or an asset tag: a control byte in its text once
// the line end is removed, or its being a piece of a line longer than one read takes. A file
// whose lines end in a carriage return alone reads as such pieces, holding those returns.
struct LineDamage {
    enum Value {
        None,
        ControlByte,    // a byte below 20h other than the tab, or 7Fh
        PartOfLongLine  // any piece of a line longer than 254 characters and its line feed
    };
};

// What a file's first bytes say of it before any line is read: text W can read, or text that was
// converted on its way into a form whose lines W cannot tell apart.
struct FileStart {
    enum Value {
        Text,    // 8-bit text (a UTF-8 byte order mark before it is skipped)
        Utf16,   // a UTF-16 byte order mark (FF FE or FE FF)
        CrAlone  // the first line ends in a carriage return not followed by a line feed
    };
};

// Reads a text-mode file in pieces of at most 255 characters, each taken as a line of its own;
// a file line read in several pieces keeps one line number. A Ctrl-Z byte (1Ah) ends the input
// on every build, as the device's text mode ends it there.
class LineReader {
public:
    enum Status { Piece, End, Error };
    enum { kBufferSize = 256 };

    explicit LineReader(FILE* file);
    // Looks at the file's start before the first piece is handed over: reads that piece ahead
    // and keeps it for next(), skipping a UTF-8 byte order mark before it. Called at most once,
    // before next(). The first line's end is looked for within that piece and the byte after it.
    FileStart::Value start();
    Status next();

    char* text() { return buffer_; }
    // The piece's length up to its first zero byte, as read (the readers may cut the text).
    size_t length() const { return length_; }
    size_t number() const { return number_; }
    // Whether this piece began a line that goes on into the next piece.
    bool beganLongLine() const { return beganLongLine_; }
    // Whether a zero byte ended this piece's text before the piece's end.
    bool heldZeroByte() const { return heldZeroByte_; }
    // Whether the piece may give a password or a tag: its text, the line end removed, holds no
    // control byte, and it is a whole line.
    LineDamage::Value damage() const { return damage_; }
    // The line that held the Ctrl-Z byte which ended the input; 0 while none has.
    size_t ctrlZLine() const { return ctrlZLine_; }
    // Zeroes the buffer, so that a password taken from it stays no longer than needed.
    void wipe();

private:
    size_t extentRead(size_t textLength);
    LineDamage::Value damageOf(bool startsLine, size_t count) const;
    bool peekLineEnd(size_t count);
    Status readPiece();
    size_t extentOfPiece();
    FileStart::Value firstLineEnd(size_t extent);

    FILE* file_;
    char buffer_[kBufferSize];
    size_t number_;
    size_t length_;
    // How many bytes at the buffer's start may still hold an earlier piece; the rest are zero.
    size_t dirty_;
    size_t ctrlZLine_;
    LineDamage::Value damage_;
    bool lineEnded_;
    bool beganLongLine_;
    bool heldZeroByte_;
    bool removeCarriageReturns_;
    // A piece read ahead by start(), with the status of its read, handed over by the next next().
    bool heldAhead_;
    Status heldStatus_;
};
