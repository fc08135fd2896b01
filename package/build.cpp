#include "package/build.h"

#include <string.h>

#include <memory>
#include <new>

#include "codec/common/byte_order.h"
#include "format/crc32.h"
#include "format/payload.h"
#include "format/seal.h"
#include "package/branding.h"
#include "package/pe_image.h"
#include "package/request.h"
#include "package/stub_image.h"

namespace {

PackageResult refuse(const std::string &why) { return PackageResult::fail(PACKAGE_REFUSED, why); }

void put_text(InstallConfig *record, int32_t offset, const std::string &text) {
  char *slot = record_text(record, offset);
  memset(slot, 0, TEXT_SLOT_SIZE);
  memcpy(slot, text.data(), text.size());
}

InstallConfig fill_record(const PackageRequest &request, const RecordTexts &texts, const std::vector<uint64_t> &parts,
                          uint64_t payload_offset) {
  InstallConfig record = {};
  record.payload_offset = static_cast<int32_t>(payload_offset);
  record.main_size = static_cast<uint32_t>(parts[0]);
  record.second_size = static_cast<uint32_t>(request.second.source->size());
  record.header_check = expected_header_check(&record);
  record.extra_size = request.extra.source ? static_cast<uint32_t>(request.extra.source->size()) : 0;
  record.flags = (request.stored ? 0 : FLAG_COMPRESSED) | (request.silent ? FLAG_SILENT : 0);
  record.main_part2_size = parts.size() > 1 ? static_cast<uint32_t>(parts[1]) : 0;
  record.main_part3_size = parts.size() > 2 ? static_cast<uint32_t>(parts[2]) : 0;
  put_text(&record, OFFSET_MAIN_FILE_NAME, texts.names[0]);
  put_text(&record, OFFSET_SECOND_FILE_NAME, texts.names[1]);
  put_text(&record, OFFSET_EXTRA_FILE_NAME, request.extra.source ? texts.names[2] : std::string());
  put_text(&record, OFFSET_CONFIRM_TEXT, texts.confirm);
  put_text(&record, OFFSET_DONE_TEXT, texts.done);
  put_text(&record, OFFSET_FAILURE_TEXT, texts.failure);
  put_text(&record, OFFSET_BAD_HEADER_TEXT, texts.bad_header);
  put_text(&record, OFFSET_DIALOG_TEXT, texts.dialog);
  put_text(&record, OFFSET_RECORD_SIGNATURE, RECORD_SIGNATURE);
  return record;
}

// The PE checksum of a whole file, taken as its bytes go by: the file's
// 16-bit little-endian words added with their carries folded back in, the
// CheckSum field left out, and the file's length added.
class FileChecksum {
 public:
  explicit FileChecksum(uint64_t field) : field_(field) {}
  void add(const uint8_t *data, size_t count, uint64_t at) {
    for (size_t i = 0; i < count; ++i, ++at)
      if (at < field_ || at >= field_ + 4) sum_ += static_cast<uint64_t>(data[i]) << (8 * (at & 1));
  }
  uint32_t value(uint64_t length) const {
    uint64_t sum = sum_;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + length);
  }

 private:
  uint64_t field_;
  uint64_t sum_ = 0;
};

// The payload on its way to the sink, with its length and CRC-32 for the
// seal, and the file's checksum where one is kept.
class SealingSink : public ByteSink {
 public:
  SealingSink(ByteSink &out, uint64_t payload_offset, FileChecksum *checksum)
      : out_(out), payload_offset_(payload_offset), checksum_(checksum) {}
  bool write(const void *data, size_t count) override {
    crc = crc32_update(crc, data, static_cast<int32_t>(count));
    if (checksum_) checksum_->add(static_cast<const uint8_t *>(data), count, payload_offset_ + length);
    length += count;
    return out_.write(data, count);
  }
  bool write_at(uint64_t offset, const void *data, size_t count) override { return out_.write_at(offset, data, count); }
  std::string error() const override { return out_.error(); }
  uint32_t crc = CRC32_INITIAL;
  uint64_t length = 0;

 private:
  ByteSink &out_;
  uint64_t payload_offset_;
  FileChecksum *checksum_;
};

// One stored file: its bytes scrambled with its key, in chunks.
PackageResult store_item(ByteSource &source, uint64_t offset, uint64_t size, uint8_t key, SealingSink &out,
                         Progress *progress) {
  std::vector<uint8_t> chunk(COPY_CHUNK);
  for (uint64_t done = 0; done < size;) {
    const size_t n = size - done < COPY_CHUNK ? static_cast<size_t>(size - done) : size_t{COPY_CHUNK};
    if (!source.read_exactly(offset + done, chunk.data(), n))
      return PackageResult::fail(PACKAGE_DAMAGED, "reading a payload file failed: " + source.error());
    xor_buffer(chunk.data(), static_cast<int32_t>(n), key);
    if (!out.write(chunk.data(), n)) return PackageResult::fail(PACKAGE_DAMAGED, "write failed: " + out.error());
    done += n;
    if (progress && !progress->advance(done, size)) return PackageResult::fail(PACKAGE_CANCELLED, "cancelled");
  }
  return {};
}

PackageResult encode_item(StreamCodec &codec, ByteSource &source, uint64_t offset, uint64_t size, bool best,
                          SealingSink &out, Progress *progress) {
  const StreamRun run = codec.encode(source, offset, static_cast<uint32_t>(size), out, best, progress);
  if (run.ok) return {};
  if (run.cancelled) return PackageResult::fail(PACKAGE_CANCELLED, "cancelled");
  if (run.read_failed) return PackageResult::fail(PACKAGE_DAMAGED, "reading a payload file failed: " + source.error());
  if (run.write_failed) return PackageResult::fail(PACKAGE_DAMAGED, "write failed: " + out.error());
  return PackageResult::fail(PACKAGE_DAMAGED, "compressing the payload failed (a file changed while it was read?)");
}

struct Slice {
  ByteSource *source;
  uint64_t offset, size;
};

Slice item_content(const PackageRequest &request, const std::vector<uint64_t> &parts, PayloadRole role) {
  switch (role) {
    case ROLE_EXTRA: return {request.extra.source, 0, request.extra.source->size()};
    case ROLE_SECOND: return {request.second.source, 0, request.second.source->size()};
    case ROLE_MAIN: return {request.main.source, 0, parts[0]};
    case ROLE_MAIN_PART2: return {request.main.source, parts[0], parts[1]};
    case ROLE_MAIN_PART3: return {request.main.source, parts[0] + parts[1], parts[2]};
  }
  return {nullptr, 0, 0};
}

// The payload, item by item in the order the record implies.
PackageResult write_payload(const PackageRequest &request, StreamCodec &codec, const InstallConfig &record,
                            const std::vector<uint64_t> &parts, SealingSink &out, Progress *progress) {
  PayloadItem items[MAX_PAYLOAD_ITEMS];
  const int32_t count = plan_payload(&record, items);
  uint64_t total = 0, done = 0;
  for (int32_t i = 0; i < count; ++i) total += item_content(request, parts, items[i].role).size;
  for (int32_t i = 0; i < count; ++i) {
    const Slice content = item_content(request, parts, items[i].role);
    ProgressSpan span(progress, done, total);
    PackageResult result =
        request.stored ? store_item(*content.source, content.offset, content.size, items[i].key, out, &span)
                       : encode_item(codec, *content.source, content.offset, content.size, request.best, out, &span);
    if (!result.ok()) return result;
    done += content.size;
  }
  return {};
}

// The stub, checked to be an unfilled one, in *stub.
PackageResult take_stub(ByteSource &source, std::vector<uint8_t> *stub, StubImage *image) {
  PackageResult read = read_stub_image(source, stub, image);
  if (!read.ok()) return refuse(read.message);
  InstallConfig record;
  read_stored_record(stub->data() + image->record_offset, &record);
  if (header_check_holds(&record) && record.payload_offset != 0)
    return refuse("the stub is already a package (its record is filled in)");
  if (source.size() != image->image_end)
    return refuse("not a Kestrune stub: the file goes on " + std::to_string(source.size() - image->image_end) +
                  " bytes past the end of its image");
  return {};
}

BuildOutcome build(const PackageRequest &request, StreamCodec &codec, ByteSink &out, Progress *progress) {
  BuildOutcome outcome;
  RecordTexts texts;
  std::vector<uint64_t> parts;
  std::vector<uint8_t> stub;
  StubImage image;
  outcome.result = check_shape(request, &parts);
  if (outcome.result.ok()) outcome.result = convert_names(request, &texts);
  if (outcome.result.ok()) outcome.result = convert_texts(request, &texts);
  if (outcome.result.ok()) outcome.result = take_stub(*request.stub, &stub, &image);
  BrandingRequest brand;
  if (outcome.result.ok()) outcome.result = branding_request(request, texts.names[0], &brand);
  if (!outcome.result.ok()) return outcome;
  outcome.notes = notes_for(request);
  if (brand.has_icon || brand.has_version) {
    Branding branded = brand_stub(stub, brand);
    if (!branded.ok) {
      outcome.result = refuse(branded.problem);
      return outcome;
    }
    stub = branded.stub;  // only the resource section, the image's last, changed: the record stays put
    outcome.notes.insert(outcome.notes.end(), branded.notes.begin(), branded.notes.end());
  }

  InstallConfig record = fill_record(request, texts, parts, stub.size());
  write_stored_record(&record, stub.data() + image.record_offset);
  if (!out.write(stub.data(), stub.size())) {
    outcome.result = PackageResult::fail(PACKAGE_DAMAGED, "write failed: " + out.error());
    return outcome;
  }
  // A branded stub carries a checksum of itself; the finished installer gets
  // one of the whole file. (A plain stub's stays as the linker wrote it.)
  const PeParse pe = parse_pe_image(stub.data(), stub.size(), stub.size());
  const bool branded = brand.has_icon || brand.has_version;
  std::unique_ptr<FileChecksum> checksum;
  if (branded && pe.ok && pe.image.checksum != 0) checksum.reset(new FileChecksum(pe.image.checksum_offset));
  SealingSink payload(out, stub.size(), checksum.get());
  outcome.result = write_payload(request, codec, record, parts, payload, progress);
  if (!outcome.result.ok()) return outcome;
  outcome.size = stub.size() + payload.length;
  if (outcome.size > MAX_PACKAGE_SIZE) {
    outcome.result = refuse("the package would be larger than 2 GiB");
    return outcome;
  }
  // Last: the seal covers the finished record and every payload byte.
  uint8_t plain[CONFIG_SIZE];
  record_to_bytes(&record, plain);
  seal_plain_record(plain, static_cast<uint32_t>(payload.length), payload.crc);
  xor_buffer(plain, CONFIG_SIZE, CONFIG_KEY);
  if (!out.write_at(image.record_offset, plain, CONFIG_SIZE)) {
    outcome.result = PackageResult::fail(PACKAGE_DAMAGED, "write failed: " + out.error());
    return outcome;
  }
  if (checksum) {
    memcpy(stub.data() + image.record_offset, plain, CONFIG_SIZE);
    checksum->add(stub.data(), stub.size(), 0);
    uint8_t field[4];
    write_le32(field, checksum->value(outcome.size));
    if (!out.write_at(pe.image.checksum_offset, field, sizeof field))
      outcome.result = PackageResult::fail(PACKAGE_DAMAGED, "write failed: " + out.error());
  }
  return outcome;
}

}  // namespace

uint64_t request_payload_size(const PackageRequest &request) {
  uint64_t total = 0;
  for (const PackageFile *file : {&request.main, &request.second, &request.extra})
    if (file->source) total += file->source->size();
  return total;
}

const char *main_parts_problem(int parts) {
  return parts >= 1 && parts <= 3 ? nullptr : "--main-parts must be 1, 2 or 3";
}

std::vector<uint64_t> split_main_file(uint64_t size, int parts) {
  std::vector<uint64_t> sizes;
  for (int i = 0; i < parts; ++i)
    sizes.push_back(size / static_cast<uint64_t>(parts) + (static_cast<uint64_t>(i) < size % parts ? 1 : 0));
  return sizes;
}

BuildOutcome build_package(const PackageRequest &request, StreamCodec &codec, ByteSink &out, Progress *progress) {
  try {
    return build(request, codec, out, progress);
  } catch (const std::bad_alloc &) {
    BuildOutcome outcome;
    outcome.result = PackageResult::fail(PACKAGE_DAMAGED, "out of memory");
    return outcome;
  }
}
