#pragma once

#include <cerrno>
#include <cstddef>

#include <sys/types.h>

namespace quillonde {

/// The system calls through which a cast is read and a profile written, each as POSIX defines it
/// (a result below 0 with errno set on failure). The functions of this class make the real calls;
/// a test derives from it to make any of them fail and hands its own to the load or the export.
class SystemCalls {
public:
    SystemCalls() = default;
    SystemCalls(const SystemCalls&) = delete;
    SystemCalls& operator=(const SystemCalls&) = delete;
    virtual ~SystemCalls() = default;

    /// openat(2); `folder` is AT_FDCWD for a path from the working folder.
    virtual int open(int folder, const char* path, int flags, mode_t mode);
    virtual ssize_t read(int descriptor, void* bytes, std::size_t count);
    virtual ssize_t pread(int descriptor, void* bytes, std::size_t count, off_t offset);
    virtual ssize_t write(int descriptor, const void* bytes, std::size_t count);
    virtual int fsync(int descriptor);
    virtual int linkat(int from_folder, const char* from, int to_folder, const char* to, int flags);
    virtual int renameat(int from_folder, const char* from, int to_folder, const char* to);
    virtual int unlinkat(int folder, const char* name, int flags);
    virtual int close(int descriptor);
    /// flock(2): the advisory lock of a file that several programs add casts to.
    virtual int flock(int descriptor, int operation);
};

/// The real calls, for the callers that hand in no others.
SystemCalls& real_system_calls() noexcept;

/// Makes `call` again while a signal interrupts it (EINTR) and `go_on()` says yes to another try;
/// returns its last result, with errno as that call left it.
template <typename Call, typename GoOn> auto retry_interrupted(Call call, GoOn go_on) -> decltype(call())
{
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) {
            return result;
        }
        if (!go_on()) {
            errno = EINTR;
            return result;
        }
    }
}

/// An open descriptor, closed through the calls that opened it when it goes. The result of that
/// close is not looked at: it is for descriptors that were only read.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1, SystemCalls& calls = real_system_calls()) noexcept
        : descriptor_(descriptor), calls_(&calls)
    {
    }
    Descriptor(Descriptor&& other) noexcept : descriptor_(other.release()), calls_(other.calls_) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const noexcept { return descriptor_; }
    explicit operator bool() const noexcept { return descriptor_ >= 0; }
    /// Hands the descriptor over, unclosed.
    int release() noexcept;
    void reset() noexcept;

private:
    int descriptor_;
    SystemCalls* calls_;
};

} // namespace quillonde
