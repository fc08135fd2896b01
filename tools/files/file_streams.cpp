#include "tools/files/file_streams.h"

#include "package/report_text.h"

namespace {

std::string reason(const std::string &path, int code) { return path + ": " + system_error_text(code); }

FileError file_error(const std::string &message, int exit_code = EXIT_BAD_DATA) { return {message, exit_code}; }

// Where the last path component of path begins.
size_t name_start(const std::string &path) {
  size_t cut = path.size();
  while (cut > 0 && !is_path_separator(path[cut - 1])) --cut;
  return cut;
}

}  // namespace

std::string too_large_message(const std::string &path, uint64_t size) {
  return path + ": " + with_commas(size) + " bytes; inputs must be smaller than 2 GiB";
}

// ---- inputs -----------------------------------------------------------------------

FileSource::~FileSource() {
  int code;
  if (file_ != NO_SYSTEM_FILE) system_close(file_, &code);
  if (!spool_path_.empty()) system_remove(spool_path_);
}

bool FileSource::open(const std::string &path, FileError *error) {
  path_ = path;
  int code = 0;
  file_ = system_open_read(path, &code);
  if (file_ == NO_SYSTEM_FILE) {
    *error = file_error(reason(path, code));
    return false;
  }
  SystemFileInfo info;
  if (!system_file_info(file_, &info, &code)) {
    *error = file_error(reason(path, code));
    return false;
  }
  if (info.type == SYSTEM_FILE_DIRECTORY) {
    *error = file_error(path + ": is a directory");
    return false;
  }
  identity_ = info.identity;
  size_ = info.size;
  if (size_ >= MAX_INPUT_SIZE) {
    *error = file_error(too_large_message(path, size_), EXIT_USAGE);
    return false;
  }
  // A pipe (or a file such as those in /proc, which say they are empty) is
  // read to its end first.
  if (info.type != SYSTEM_FILE_REGULAR || size_ == 0) return spool(error);
  return true;
}

bool FileSource::spool(FileError *error) {
  int code = 0;
  SystemFile copy = system_create_unique(join_path(system_temp_directory(), "kestrune-input-"), &spool_path_, &code);
  if (copy == NO_SYSTEM_FILE) {
    *error = file_error(path_ + ": cannot keep a copy to read: " + system_error_text(code));
    return false;
  }
  std::vector<uint8_t> chunk(COPY_CHUNK);
  uint64_t total = 0;
  for (;;) {
    const int64_t n = system_read(file_, chunk.data(), chunk.size(), &code);
    if (n < 0) {
      *error = file_error(reason(path_, code));
      system_close(copy, &code);
      return false;
    }
    if (n == 0) break;
    total += static_cast<uint64_t>(n);
    if (total >= MAX_INPUT_SIZE) {
      *error = file_error(too_large_message(path_, total), EXIT_USAGE);
      system_close(copy, &code);
      return false;
    }
    if (!system_write(copy, chunk.data(), static_cast<size_t>(n), &code)) {
      *error = file_error(path_ + ": cannot keep a copy to read in " + spool_path_ + ": " + system_error_text(code));
      system_close(copy, &code);
      return false;
    }
  }
  system_close(file_, &code);
  file_ = copy;
  size_ = total;
  return true;
}

int64_t FileSource::read_at(uint64_t offset, void *buffer, size_t count) {
  if (offset >= size_) return 0;
  if (count > size_ - offset) count = static_cast<size_t>(size_ - offset);
  uint8_t *to = static_cast<uint8_t *>(buffer);
  size_t done = 0;
  while (done < count) {
    const int64_t n = system_read_at(file_, offset + done, to + done, count - done, &error_code_);
    if (n < 0) return -1;
    if (n == 0) break;  // the file shrank while it was read
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

std::string FileSource::error() const {
  return path_ + ": " + (error_code_ ? system_error_text(error_code_) : "the file changed while it was read");
}

bool read_small_file(const std::string &path, uint64_t limit, std::string *text, FileError *error) {
  FileSource source;
  if (!source.open(path, error)) return false;
  if (source.size() > limit) {
    *error = file_error(
        path + ": " + with_commas(source.size()) + " bytes, more than the " + with_commas(limit) + " it may have",
        EXIT_USAGE);
    return false;
  }
  text->assign(static_cast<size_t>(source.size()), '\0');
  if (!source.read_exactly(0, &(*text)[0], text->size())) {
    *error = file_error(source.error());
    return false;
  }
  return true;
}

// ---- outputs ----------------------------------------------------------------------

class OutputFile::Sink : public ByteSink {
 public:
  explicit Sink(OutputFile *out) : out_(out) {}
  bool write(const void *data, size_t count) override {
    if (!system_write_at(out_->file_, out_->written_, data, count, &out_->error_code_)) return false;
    out_->written_ += count;
    return true;
  }
  bool write_at(uint64_t offset, const void *data, size_t count) override {
    return offset + count <= out_->written_ && system_write_at(out_->file_, offset, data, count, &out_->error_code_);
  }
  std::string error() const override { return out_->path_ + ": write failed: " + system_error_text(out_->error_code_); }

 private:
  OutputFile *out_;
};

class OutputFile::Reader : public ByteSource {
 public:
  explicit Reader(OutputFile *out) : out_(out) {}
  uint64_t size() const override { return out_->written_; }
  int64_t read_at(uint64_t offset, void *buffer, size_t count) override {
    if (offset >= out_->written_) return 0;
    if (count > out_->written_ - offset) count = static_cast<size_t>(out_->written_ - offset);
    return system_read_at(out_->file_, offset, buffer, count, &out_->error_code_);
  }
  std::string error() const override { return out_->path_ + ": " + system_error_text(out_->error_code_); }

 private:
  OutputFile *out_;
};

OutputFile::~OutputFile() {
  abandon();
  delete sink_;
  delete reader_;
}

bool OutputFile::open(const std::string &path, const std::vector<const FileSource *> &inputs, bool may_replace,
                      FileError *error) {
  abandon();
  path_ = path;
  int code = 0;
  SystemFileInfo info;
  if (!system_write_target(path, &target_, &code) || !system_path_info(target_, &info, &code)) {
    *error = file_error(reason(path, code));
    return false;
  }
  const char *refusal = info.type == SYSTEM_FILE_DIRECTORY ? "is a directory"
                        : info.type == SYSTEM_FILE_OTHER   ? "is not a regular file (a device, FIFO or socket)"
                        : info.read_only                   ? "is read-only"
                        : info.type == SYSTEM_FILE_REGULAR && !may_replace ? "exists (--force replaces it)"
                                                                           : nullptr;
  for (const FileSource *input : inputs)
    if (!refusal && input && info.type == SYSTEM_FILE_REGULAR && input->identity() == info.identity) {
      *error =
          file_error(path + ": is the same file as the input " + input->path() + "; nothing was written", EXIT_USAGE);
      return false;
    }
  if (refusal) {
    *error = file_error(path + ": " + refusal + "; nothing was written", EXIT_USAGE);
    return false;
  }
  const size_t cut = name_start(target_);
  file_ = system_create_unique(target_.substr(0, cut) + "." + target_.substr(cut) + ".partial-", &temp_path_, &code);
  if (file_ == NO_SYSTEM_FILE) {
    *error = file_error(path + ": cannot create: " + system_error_text(code));
    return false;
  }
  written_ = 0;
  if (!sink_) sink_ = new Sink(this);
  if (!reader_) reader_ = new Reader(this);
  return true;
}

ByteSink &OutputFile::sink() { return *sink_; }
ByteSource &OutputFile::written() { return *reader_; }

bool OutputFile::commit(FileError *error) {
  int code = 0;
  bool ok = system_flush(file_, &code);
  ok = system_close(file_, ok ? &code : &error_code_) && ok;
  file_ = NO_SYSTEM_FILE;
  if (!ok) {
    *error = file_error(path_ + ": write failed: " + system_error_text(code));
    abandon();
    return false;
  }
  if (!system_replace(temp_path_, target_, &code)) {
    *error = file_error(path_ + ": cannot put the new file in place: " + system_error_text(code));
    abandon();
    return false;
  }
  temp_path_.clear();
  system_flush_directory(directory_of(target_));
  return true;
}

void OutputFile::abandon() {
  int code;
  if (file_ != NO_SYSTEM_FILE) system_close(file_, &code);
  file_ = NO_SYSTEM_FILE;
  if (!temp_path_.empty()) system_remove(temp_path_);
  temp_path_.clear();
}

// ---- paths -------------------------------------------------------------------------

std::string base_name(const std::string &path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && is_path_separator(trimmed.back())) trimmed.pop_back();
  return trimmed.substr(name_start(trimmed));
}

std::string directory_of(const std::string &path) { return path.substr(0, name_start(path)); }

std::string join_path(const std::string &directory, const std::string &name) {
  if (directory.empty() || is_path_separator(directory.back())) return directory + name;
  return directory + PATH_SEPARATOR + name;
}

bool make_directories(const std::string &directory, std::vector<std::string> *made, FileError *error) {
  made->clear();
  std::vector<std::string> missing;
  for (std::string at = directory; !at.empty();) {
    while (at.size() > 1 && is_path_separator(at.back())) at.pop_back();
    SystemFileInfo info;
    int code = 0;
    if (!system_path_info(at, &info, &code) || info.type != SYSTEM_FILE_MISSING) break;
    missing.push_back(at);
    const std::string up = directory_of(at);
    if (up == at) break;
    at = up;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    int code = 0;
    if (!system_make_directory(*it, &code)) {
      remove_made_directories(*made);
      *error = file_error(reason(*it, code));
      return false;
    }
    made->push_back(*it);
  }
  int code = 0;
  if (!system_make_directory(directory, &code)) {
    remove_made_directories(*made);
    *error = file_error(reason(directory, code));
    return false;
  }
  return true;
}

void remove_made_directories(const std::vector<std::string> &made) {
  for (auto it = made.rbegin(); it != made.rend(); ++it) system_remove_directory(*it);
}
