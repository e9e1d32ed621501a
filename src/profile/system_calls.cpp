#include "profile/system_calls.h"

#include <utility>

#include <fcntl.h>
#include <stdio.h> // renameat
#include <sys/file.h>
#include <unistd.h>

namespace quillonde {

namespace {

SystemCalls real_calls;

} // namespace

int SystemCalls::open(int folder, const char* path, int flags, mode_t mode)
{
    return ::openat(folder, path, flags, mode);
}

ssize_t SystemCalls::read(int descriptor, void* bytes, std::size_t count)
{
    return ::read(descriptor, bytes, count);
}

ssize_t SystemCalls::pread(int descriptor, void* bytes, std::size_t count, off_t offset)
{
    return ::pread(descriptor, bytes, count, offset);
}

ssize_t SystemCalls::write(int descriptor, const void* bytes, std::size_t count)
{
    return ::write(descriptor, bytes, count);
}

int SystemCalls::fsync(int descriptor)
{
    return ::fsync(descriptor);
}

int SystemCalls::linkat(int from_folder, const char* from, int to_folder, const char* to, int flags)
{
    return ::linkat(from_folder, from, to_folder, to, flags);
}

int SystemCalls::renameat(int from_folder, const char* from, int to_folder, const char* to)
{
    return ::renameat(from_folder, from, to_folder, to);
}

int SystemCalls::unlinkat(int folder, const char* name, int flags)
{
    return ::unlinkat(folder, name, flags);
}

int SystemCalls::close(int descriptor)
{
    return ::close(descriptor);
}

int SystemCalls::flock(int descriptor, int operation)
{
    return ::flock(descriptor, operation);
}

SystemCalls& real_system_calls() noexcept
{
    return real_calls;
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept
{
    if (this != &other) {
        reset();
        calls_ = other.calls_;
        descriptor_ = other.release();
    }
    return *this;
}

int Descriptor::release() noexcept
{
    return std::exchange(descriptor_, -1);
}

void Descriptor::reset() noexcept
{
    if (descriptor_ >= 0) {
        calls_->close(release());
    }
}

} // namespace quillonde
