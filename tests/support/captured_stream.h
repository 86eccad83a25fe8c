#pragma once
// A stdio stream that writes into memory, for what the program prints.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tpl {

class CapturedStream {
public:
    CapturedStream() : stream_(open_memstream(&buffer_, &size_)) {}
    ~CapturedStream() {
        if (stream_) std::fclose(stream_);
        std::free(buffer_);
    }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    std::FILE* Get() const { return stream_; }
    std::string Text() {
        std::fflush(stream_);
        return std::string(buffer_, size_);
    }

private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE* stream_;
};

}  // namespace tpl
