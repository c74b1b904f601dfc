#include "cli/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/huge_page_heap.h"
#include "cli/json_document_builder.h"
#include "cli/json_reader.h"
#include "cli/json_text.h"
#include "cli/output_file.h"
#include "cli/output_path.h"
#include "console/log.h"

namespace ravelin {

namespace {

constexpr std::size_t kReadChunkSize = 64 * 1024;

// `sizeWords` is "" before a size known up front and "over " before the
// limit a stream has just passed.
[[noreturn]] void refuseOversizedInput(const fs::path& path, const char* sizeWords,
                                       std::uintmax_t size, std::uintmax_t limit) {
  logError("Input file %s is %s%ju bytes; files above %ju bytes are refused", path.c_str(),
           sizeWords, size, limit);
  throw std::runtime_error("Input file too large: " + path.string());
}

[[noreturn]] void failToRead(const fs::path& path, int error) {
  logError("Failed to read file: %s", path.c_str());
  logSystemReason(error);
  throw std::runtime_error("Failed to read file: " + path.string());
}

// Standard input is read through a descriptor of its own, so that it is
// never closed and a closed one fails like an unopenable file.
int openForReading(const fs::path& path) {
  if (namesStandardStream(path)) return ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

class ReadDescriptor {
 public:
  // Directories count as unopenable: they hold no bytes to read.
  explicit ReadDescriptor(const fs::path& path) : fd_(openForReading(path)) {
    if (fd_ < 0) {
      error_ = errno;
    } else if (::fstat(fd_, &status_) != 0 || S_ISDIR(status_.st_mode)) {
      error_ = S_ISDIR(status_.st_mode) ? EISDIR : errno;
      close();
    } else if (S_ISREG(status_.st_mode)) {
      start_ = std::max<off_t>(::lseek(fd_, 0, SEEK_CUR), 0);
    }
  }
  ~ReadDescriptor() { close(); }
  ReadDescriptor(const ReadDescriptor&) = delete;
  ReadDescriptor& operator=(const ReadDescriptor&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Why the file could not be opened.
  int openError() const { return error_; }
  // What a regular file claims to hold from where reading starts (standard
  // input may be a file partly read already); other kinds say only when they end.
  std::optional<std::uintmax_t> regularFileSize() const {
    if (!S_ISREG(status_.st_mode)) return std::nullopt;
    return static_cast<std::uintmax_t>(std::max<off_t>(status_.st_size - start_, 0));
  }

 private:
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_;
  int error_ = 0;
  struct stat status_ {};
  off_t start_ = 0;
};

// A regular file above the limit is refused by its size before it is read;
// a FIFO or a device once it passes the limit.
void refuseOversizedFile(const ReadDescriptor& input, const fs::path& path, std::uintmax_t limit) {
  const std::optional<std::uintmax_t> claimedSize = input.regularFileSize();
  if (claimedSize && *claimedSize > limit) refuseOversizedInput(path, "", *claimedSize, limit);
}

void refuseOversizedStream(std::size_t bytesRead, const fs::path& path, std::uintmax_t limit) {
  if (bytesRead > limit) refuseOversizedInput(path, "over ", limit, limit);
}

// Reads everything `input` yields, in one read for a regular file of
// unchanged size.
Bytes readWhole(const ReadDescriptor& input, const fs::path& path, std::uintmax_t limit) {
  refuseOversizedFile(input, path, limit);
  const std::optional<std::uintmax_t> claimedSize = input.regularFileSize();
  // One byte beyond the claimed size lets the read that fills it see the end.
  Bytes contents(claimedSize ? static_cast<std::size_t>(*claimedSize) + 1 : kReadChunkSize);
  std::size_t filled = 0;
  while (true) {
    if (filled == contents.size()) {
      refuseOversizedStream(filled, path, limit);
      contents.resize(std::min<std::size_t>(2 * filled, limit + 1));
    }
    const ssize_t count = ::read(input.fd(), contents.data() + filled, contents.size() - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) failToRead(path, errno);
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  contents.resize(filled);
  return contents;
}

// A file as the character iterators the JSON parser reads, filled a chunk at
// a time into one buffer that stays in the cache: the text is never held
// whole, so a large document costs no copy of itself.
class ChunkedText {
 public:
  ChunkedText(const ReadDescriptor& input, const fs::path& path, std::uintmax_t limit)
      : input_(input), path_(path), limit_(limit) {
    refuseOversizedFile(input, path, limit);
  }

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    explicit Iterator(ChunkedText* text) : text_(text) {}
    const char& operator*() const { return text_->buffer_[text_->next_]; }
    Iterator& operator++() {
      ++text_->next_;
      return *this;
    }
    // Only the end is ever compared, and reaching it may read the next chunk.
    bool operator==(const Iterator& other) const { return atEnd() == other.atEnd(); }

   private:
    bool atEnd() const { return text_ == nullptr || text_->exhausted(); }
    ChunkedText* text_;
  };

  Iterator begin() { return Iterator(this); }
  Iterator end() { return Iterator(nullptr); }
  std::size_t bytesRead() const { return bytesRead_; }

 private:
  bool exhausted() { return next_ == filled_ && !refill(); }

  bool refill() {
    ssize_t count = 0;
    do {
      count = ::read(input_.fd(), buffer_.data(), buffer_.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) failToRead(path_, errno);
    next_ = 0;
    filled_ = static_cast<std::size_t>(count);
    bytesRead_ += filled_;
    refuseOversizedStream(bytesRead_, path_, limit_);
    return filled_ > 0;
  }

  const ReadDescriptor& input_;
  const fs::path& path_;
  std::uintmax_t limit_;
  std::array<char, kReadChunkSize> buffer_{};
  std::size_t next_ = 0;
  std::size_t filled_ = 0;
  std::size_t bytesRead_ = 0;
};

template <typename Iterator>
json parseWithDepthLimit(Iterator first, Iterator last) {
  JsonDocumentBuilder builder(kMaxJsonDepth);
  json::sax_parse(first, last, &builder, json::input_format_t::json, /*strict=*/true,
                  /*ignore_comments=*/true);
  return builder.takeDocument();
}

// Writing into a device, a FIFO or a socket destroys nothing it held.
bool sameStoredFile(const struct stat& a, const struct stat& b) {
  const bool holdsData = S_ISREG(a.st_mode) || S_ISBLK(a.st_mode);
  return holdsData && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Logs why, and returns true, for an output that is a symlink leading nowhere.
bool refusesDanglingSymlink(const fs::path& output, const char* label) {
  struct stat status {};
  if (::stat(output.c_str(), &status) == 0 || errno != ENOENT ||
      !fs::is_symlink(fs::symlink_status(output))) {
    return false;
  }
  std::error_code unreadable;
  logError("%s '%s' is a symbolic link to '%s', which does not exist. Not writing through it.",
           label, output.c_str(), fs::read_symlink(output, unreadable).c_str());
  return true;
}

}  // namespace

void logSystemReason(int error) {
  if (error != 0) logError("%s", std::strerror(error));
}

bool namesStandardStream(const fs::path& path) {
  return path.native() == "-";
}

bool checkInputExists(const fs::path& path, const char* label) {
  if (namesStandardStream(path) || fs::exists(path)) return true;
  logError("%s '%s' does not exist.", label, path.c_str());
  return false;
}

bool checkOutputWritable(const fs::path& path, bool force, const char* label) {
  if (force || outputDescriptor(path) || !fs::exists(path)) return true;
  logError("%s '%s' already exists. Use --force to overwrite.", label, path.c_str());
  return false;
}

bool checkOutputTarget(const fs::path& output, const char* outputLabel, const fs::path& input,
                       const char* inputLabel) {
  if (namesStandardStream(output)) return true;
  // A descriptor is checked by itself: without /proc its link leads nowhere.
  const std::optional<int> descriptor = outputDescriptor(output);
  if (!descriptor && refusesDanglingSymlink(output, outputLabel)) return false;
  struct stat outputStatus {};
  struct stat inputStatus {};
  const int outputFound =
      descriptor ? ::fstat(*descriptor, &outputStatus) : ::stat(output.c_str(), &outputStatus);
  const int inputFound = namesStandardStream(input) ? ::fstat(STDIN_FILENO, &inputStatus)
                                                    : ::stat(input.c_str(), &inputStatus);
  if (outputFound != 0 || inputFound != 0 || !sameStoredFile(outputStatus, inputStatus)) {
    return true;
  }
  logError("%s '%s' is the same file as %s '%s'. Refusing to overwrite the input.", outputLabel,
           output.c_str(), inputLabel, input.c_str());
  return false;
}

std::uintmax_t getFileSize(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) {
    logError("Error getting file size of %s: %s", path.c_str(), error.message().c_str());
    return 0;
  }
  logInfo("Got file size %llu", static_cast<unsigned long long>(size));
  return size;
}

Bytes readFile(const fs::path& path) {
  const Bytes bytes = readWholeFile(path, kMaxBlobFileSize);
  logSuccess("Successfully read %d bytes from file", printableCount(bytes.size()));
  return bytes;
}

Bytes readWholeFile(const fs::path& path, std::uintmax_t limit) {
  const ReadDescriptor input(path);
  if (!input.isOpen()) {
    logError("Failed to open file: %s ", path.c_str());
    logSystemReason(input.openError());
    throw std::runtime_error("Failed to open file: " + path.string());
  }
  return readWhole(input, path, limit);
}

void requireWithinLimit(const fs::path& path, std::uintmax_t size, std::uintmax_t limit) {
  if (size > limit) refuseOversizedInput(path, "", size, limit);
}

void writeFile(std::span<const std::uint8_t> bytes, const fs::path& path) {
  writeOutputFile(bytes.data(), bytes.size(), path);
  logSuccess("Successfully wrote data to location %s", path.c_str());
}

// A path that cannot be opened reads as empty text, which the parser refuses
// in its own words.
json loadJsonFile(const fs::path& path, std::uintmax_t* textSize) {
  const ReadDescriptor input(path);
  if (!input.isOpen()) return parseJsonDocument({});
  // A regular file is read whole for the quick reader; a pipe or a device is
  // parsed as it arrives, so that text that is not JSON fails at once.
  if (const std::optional<std::uintmax_t> size = input.regularFileSize()) {
    prepareHeapForDocument(*size);
    const Bytes text = readWhole(input, path, kMaxJsonFileSize);
    return parseJsonDocument({reinterpret_cast<const char*>(text.data()), text.size()});
  }
  ChunkedText text(input, path, kMaxJsonFileSize);
  json document = parseWithDepthLimit(text.begin(), text.end());
  if (textSize != nullptr) *textSize = text.bytesRead();
  return document;
}

json parseJsonDocument(std::string_view text) {
  JsonDocumentBuilder builder(kMaxJsonDepth);
  if (readCommonJson(text, builder)) return builder.takeDocument();
  return parseWithDepthLimit(text.begin(), text.end());
}

// What value.dump(4) does, into a string reserved up front: a reservation
// beyond what is written costs address space only, while growing by doubling
// would copy the text and touch twice its pages.
std::string renderJsonDocument(json& value, std::size_t expectedSize) {
  roundJsonFloats(value);
  std::string text;
  text.reserve(expectedSize);
  appendIndentedJson(value, text);
  return text;
}

void writeJsonFile(json& value, const fs::path& path, std::size_t expectedSize) {
  const std::string text = renderJsonDocument(value, expectedSize);
  writeOutputFile(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), path);
}

void keepUntilExit(json&& document) {
  static json* kept = nullptr;
  delete kept;
  kept = new json(std::move(document));
}

void roundJsonFloats(json& value) {
  if (value.is_structured()) {
    for (json& element : value) roundJsonFloats(element);
  } else if (value.is_number_float()) {
    auto& number = value.get_ref<json::number_float_t&>();
    number = roundToNineSignificantDigits(number);
  }
}

}  // namespace ravelin
