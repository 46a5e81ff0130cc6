#pragma once
// A RawDiskSystemCalls that makes the real calls unless a test scripted something else:
// a pread or pwrite that moves fewer bytes, returns 0 or fails with an errno; an fsync,
// cache drop or open that fails; direct I/O refused. It counts what it was asked to do.

#include <cerrno>
#include <cstddef>
#include <deque>
#include <vector>

#include "Block/RawDiskSystemCalls.hpp"

namespace marlowick::test {

class ScriptedDiskCalls : public RawDiskSystemCalls {
public:
    // One scripted pread or pwrite answer; an empty script means "make the real call".
    struct Step {
        enum class Kind { real, upTo, zero, error } kind = Kind::real;
        std::size_t bytes = 0;
        int errorNumber = 0;
        static Step real() { return {}; }
        static Step upTo(std::size_t n) { return {Kind::upTo, n, 0}; }
        static Step zero() { return {Kind::zero, 0, 0}; }
        static Step error(int e) { return {Kind::error, 0, e}; }
    };
    struct Call {
        off_t offset;
        std::size_t length;
        bool operator==(const Call&) const = default;
    };

    std::deque<Step> readScript;
    std::deque<Step> writeScript;
    std::vector<Call> reads;
    std::vector<Call> writes;
    int openErrno = 0;
    int fsyncErrno = 0;
    int dropCacheErrno = 0;
    bool allowDirectIo = false;
    int opens = 0;
    int fsyncs = 0;
    int closes = 0;
    int lastOpenFlags = 0;

    int open(const std::string& path, int flags) override {
        ++opens;
        lastOpenFlags = flags;
        if (openErrno != 0) return fail(openErrno);
        return RawDiskSystemCalls::open(path, flags);
    }
    ssize_t pread(int fd, void* buffer, std::size_t length, off_t offset) override {
        reads.push_back({offset, length});
        return scripted(readScript, length, [&](std::size_t n) { return RawDiskSystemCalls::pread(fd, buffer, n, offset); });
    }
    ssize_t pwrite(int fd, const void* buffer, std::size_t length, off_t offset) override {
        writes.push_back({offset, length});
        return scripted(writeScript, length, [&](std::size_t n) { return RawDiskSystemCalls::pwrite(fd, buffer, n, offset); });
    }
    int fsync(int fd) override {
        ++fsyncs;
        if (fsyncErrno != 0) return fail(fsyncErrno);
        return RawDiskSystemCalls::fsync(fd);
    }
    int close(int fd) override {
        ++closes;
        return RawDiskSystemCalls::close(fd);
    }
    int directIoAlignment(int fd, bool isBlockDevice) override {
        return allowDirectIo ? RawDiskSystemCalls::directIoAlignment(fd, isBlockDevice) : 0;
    }
    int dropCachedPages(int fd) override {
        if (dropCacheErrno != 0) return fail(dropCacheErrno);
        return RawDiskSystemCalls::dropCachedPages(fd);
    }

private:
    static int fail(int errorNumber) {
        errno = errorNumber;
        return -1;
    }
    template <class Real>
    static ssize_t scripted(std::deque<Step>& script, std::size_t length, Real real) {
        if (script.empty()) return real(length);
        const Step step = script.front();
        script.pop_front();
        switch (step.kind) {
        case Step::Kind::real: return real(length);
        case Step::Kind::upTo: return real(step.bytes < length ? step.bytes : length);
        case Step::Kind::zero: return 0;
        case Step::Kind::error: return fail(step.errorNumber);
        }
        return real(length);
    }
};

}  // namespace marlowick::test
