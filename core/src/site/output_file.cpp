#include "site/output_file.hpp"

#include <errno.h>
#include <zlib.h>

#include <algorithm>

namespace zoret::site::detail {
namespace {

// Large enough that write(2) calls are few, small enough to stay in cache.
constexpr std::size_t kBufferBytes = std::size_t{256} * 1024;
constexpr int kGzipWindowBits = 15 + 16;  // 32 KiB window, gzip wrapper
constexpr int kMemLevel = 8;

int zlib_errno(int status) { return status == Z_MEM_ERROR ? ENOMEM : EIO; }

}  // namespace

struct OutputFile::Deflater {
  z_stream stream{};
  bool started = false;
  ~Deflater() {
    if (started) deflateEnd(&stream);
  }
};

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() = default;

int OutputFile::open(const Directory& dir, std::string_view hint, int gzip_level) {
  deflater_.reset();
  buffer_.clear();
  buffer_.reserve(kBufferBytes);
  if (gzip_level != kPlain) {
    deflater_ = std::make_unique<Deflater>();
    const int status = deflateInit2(&deflater_->stream, gzip_level, Z_DEFLATED, kGzipWindowBits,
                                    kMemLevel, Z_DEFAULT_STRATEGY);
    if (status != Z_OK) return zlib_errno(status);
    deflater_->started = true;
    compressed_.resize(kBufferBytes);
  }
  return file_.open(dir, hint);
}

int OutputFile::write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBufferBytes) {
    if (const int err = flush(); err != 0) return err;
  }
  if (bytes.size() >= kBufferBytes) {
    return deflater_ ? deflate_into_file(bytes, Z_NO_FLUSH) : file_.write(bytes);
  }
  buffer_.append(bytes);
  return 0;
}

int OutputFile::flush() {
  const int err = deflater_ ? deflate_into_file(buffer_, Z_NO_FLUSH) : file_.write(buffer_);
  buffer_.clear();
  return err;
}

int OutputFile::deflate_into_file(std::string_view bytes, int mode) {
  z_stream& z = deflater_->stream;
  // avail_in is 32 bits wide; large input goes in slices.
  constexpr std::size_t kSlice = std::size_t{1} << 30;
  do {
    const std::size_t slice = std::min(bytes.size(), kSlice);
    const bool last = slice == bytes.size();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(slice);
    const int step = last ? mode : Z_NO_FLUSH;
    int status = Z_OK;
    do {
      z.next_out = reinterpret_cast<Bytef*>(compressed_.data());
      z.avail_out = static_cast<uInt>(compressed_.size());
      status = deflate(&z, step);
      const std::size_t produced = compressed_.size() - z.avail_out;
      // Z_BUF_ERROR without output would repeat forever; it cannot happen with
      // room to write, so it is a fault like Z_STREAM_ERROR.
      if (status == Z_STREAM_ERROR ||
          (status == Z_BUF_ERROR && produced == 0 && step == Z_FINISH)) {
        return EIO;
      }
      if (const int err = file_.write({compressed_.data(), produced}); err != 0) return err;
    } while (z.avail_out == 0 || (step == Z_FINISH && status != Z_STREAM_END));
    bytes.remove_prefix(slice);
  } while (!bytes.empty());
  return 0;
}

int OutputFile::finish() {
  if (deflater_) {
    const int err = deflate_into_file(buffer_, Z_FINISH);
    buffer_.clear();
    if (err != 0) return err;
  } else if (const int err = flush(); err != 0) {
    return err;
  }
  return file_.seal();
}

}  // namespace zoret::site::detail
