// FolvaneCheck's diagnostics held in line order on their way to the sink.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>

#include "check.h"

// The diagnostics on their way to the sink, in line order. A diagnostic about a section's end
// belongs at the section's header, before those of its entry lines; while one may still come,
// the checker holds what follows, at most kHeldDiagnosticLimit of them.
class DiagnosticQueue {
public:
    explicit DiagnosticQueue(CheckSink& sink) : sink_(sink) {}

    // `lineEvent`: it is about how the current line is cut, and takes the section of a header
    // read from that line. `lineShape`: one that a file of carriage-return line ends drops.
    void push(Diagnostic d, bool lineEvent = false, bool lineShape = false) {
        held_.push_back({std::move(d), lineEvent, lineShape});
        if (held_.size() > kHeldDiagnosticLimit) overflow();
    }

    // A diagnostic about an earlier line: after the held ones of its line and before the later
    // ones. A line already passed on is too late; it comes at the last line passed on.
    void insert(Diagnostic d) {
        d.line = std::max(d.line, passedLine_);
        auto at = held_.end();
        while (at != held_.begin() && std::prev(at)->diagnostic.line > d.line) --at;
        held_.insert(at, {std::move(d), false, false});
        if (held_.size() > kHeldDiagnosticLimit) overflow();
    }

    // A diagnostic about the whole file: before all others while none has been passed on, else
    // after those passed on.
    void fileWide(Diagnostic d) {
        if (passedLine_ == 0) {
            held_.push_front({std::move(d), false, false});
        } else {
            held_.push_back({std::move(d), false, false});
        }
    }

    // The line events of `line` read before its header was known: the header's section is theirs.
    void adopt(size_t line, const Section* section) {
        for (auto i = held_.rbegin(); i != held_.rend() && i->lineEvent; ++i) {
            if (i->diagnostic.line == line) i->diagnostic.section = section;
            i->lineEvent = false;
        }
    }
    // Line events that no header can adopt any more: those of lines before `line`, or all.
    void settle(size_t line = SIZE_MAX) {
        for (auto i = held_.rbegin(); i != held_.rend() && i->lineEvent; ++i) {
            if (i->diagnostic.line < line) i->lineEvent = false;
        }
    }

    void dropLineShapes() {
        held_.erase(std::remove_if(held_.begin(), held_.end(), [](const Held& h) { return h.lineShape; }), held_.end());
    }

    // Passes on everything held but the line events that may still be adopted.
    void release() {
        while (!held_.empty() && !held_.front().lineEvent) passFront();
    }
    void releaseAll() {
        settle();
        release();
    }

    // Whether the limit has made the queue pass on diagnostics that were held.
    bool overflowed() const { return overflowed_; }
    bool passedWarning() const { return passedWarning_; }

private:
    struct Held {
        Diagnostic diagnostic;
        bool lineEvent;
        bool lineShape;
    };

    void overflow() {
        overflowed_ = true;
        release();
    }

    void passFront() {
        const Diagnostic& d = held_.front().diagnostic;
        passedLine_ = std::max(passedLine_, d.line);
        if (d.kind == Diagnostic::Kind::Warning) passedWarning_ = true;
        sink_.diagnostic(d);
        held_.pop_front();
    }

    CheckSink& sink_;
    std::deque<Held> held_;
    size_t passedLine_ = 0;
    bool overflowed_ = false;
    bool passedWarning_ = false;
};
