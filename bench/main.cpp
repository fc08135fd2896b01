// kestrune_bench: compression ratio and throughput of the LZHUF codec, its
// default encoder and the stronger parse of compress_stream_best, with zlib
// at levels 6 and 9 measured in the same run on the same bytes.
//
//   kestrune_bench [CORPUS...] [--reps N] [--min-time SECONDS]
//                  [--only CODEC[,CODEC...]] [--wall] [--write-corpus DIR]
//
// A CORPUS is a directory (every regular file in it) or "generated", the
// generated corpus (fixed seed), which is also the default. Each figure is
// the best of at least N runs (default 5) and at least --min-time seconds of
// repetitions (default 0.5). Runs are timed by the thread's CPU time, so
// that other work on a shared machine does not count against the codec;
// --wall times them by the wall clock instead. Throughput is in MB/s (10^6
// bytes per second) of uncompressed data: input bytes when compressing,
// output bytes when decompressing. With more than one corpus a summary
// gives each codec's totals side by side.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "bench/corpus.h"
#include "codec/common/stream.h"
#include "codec/encode/lzhuf_encoder.h"
#include "tests/support/memory_files.h"

namespace {

// The codecs, in the order of the tables. kestrune-max (the --best parse
// trying MAX_PLAN_ROUNDS plans per span) is slow: measured only when named.
enum Codec { KESTRUNE, KESTRUNE_BEST, KESTRUNE_MAX, ZLIB_6, ZLIB_9, CODECS };
const char *const CODEC_NAMES[CODECS] = {"kestrune", "kestrune-best", "kestrune-max", "zlib-6", "zlib-9"};
const int32_t MAX_PLAN_ROUNDS = 6;

struct Settings {
  int min_reps = 5;
  double min_seconds = 0.5;
  bool wanted[CODECS] = {true, true, false, true, true};
  bool wall_clock = false;
  std::vector<std::string> corpora;  // directories, or "generated"
  std::string write_to;
};

// Seconds on the chosen clock.
double now(const Settings &settings) {
  timespec t;
  clock_gettime(settings.wall_clock ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Measurement {
  size_t compressed_size = 0;
  double compress_seconds = 0;    // best single run
  double decompress_seconds = 0;  // best single run
};

// Runs operation until both limits are met and returns the fastest run.
template <typename Operation>
double best_time(const Settings &settings, Operation operation) {
  double best = 1e30, total = 0;
  for (int rep = 0; rep < 1000 && (rep < settings.min_reps || total < settings.min_seconds); ++rep) {
    double start = now(settings);
    operation();
    double seconds = now(settings) - start;
    total += seconds;
    if (seconds < best) best = seconds;
  }
  return best;
}

[[noreturn]] void die(const std::string &message) {
  fprintf(stderr, "kestrune_bench: %s\n", message.c_str());
  exit(1);
}

// Points in at its first byte and empties out, keeping out's capacity; the
// write limit turns a stream that would outgrow that capacity (and allocate
// inside the timing) into a failure.
void rewind_files(MemoryFile &in, MemoryFile &out) {
  in.position = 0;
  out.data.clear();
  out.position = 0;
  out.write_limit = static_cast<int64_t>(out.data.capacity());
}

// The default encoder, the --best parse, or that parse with more plans.
Measurement measure_kestrune(const CorpusFile &file, const Settings &settings, Codec codec) {
  const std::vector<uint8_t> &input = file.bytes;
  Measurement m;
  MemoryFile in(input), packed, unpacked;
  packed.data.reserve(input.size() * 3 + 65536);
  unpacked.data.reserve(input.size());
  for (MemoryFile *f : {&in, &packed, &unpacked}) f->log_calls = false;
  best_plan_rounds = codec == KESTRUNE_MAX ? MAX_PLAN_ROUNDS : 1;
  m.compress_seconds = best_time(settings, [&] {
    rewind_files(in, packed);
    int32_t count = static_cast<int32_t>(input.size());
    if (!(codec == KESTRUNE ? compress_stream : compress_stream_best)(in.handle(), packed.handle(), count))
      die(file.name + ": compress_stream failed");
  });
  best_plan_rounds = 1;
  m.compressed_size = packed.data.size();
  m.decompress_seconds = best_time(settings, [&] {
    rewind_files(packed, unpacked);
    if (!decompress_stream(packed.handle(), unpacked.handle())) die(file.name + ": decompress_stream failed");
  });
  if (unpacked.data != input) die(file.name + ": kestrune round trip differs from the input");
  return m;
}

Measurement measure_zlib(const CorpusFile &file, int level, const Settings &settings) {
  const std::vector<uint8_t> &input = file.bytes;
  std::vector<uint8_t> packed(compressBound(input.size()));
  std::vector<uint8_t> unpacked(input.size());
  Measurement m;
  uLongf packed_size = 0;
  m.compress_seconds = best_time(settings, [&] {
    packed_size = packed.size();
    if (compress2(packed.data(), &packed_size, input.data(), input.size(), level) != Z_OK)
      die(file.name + ": zlib compress2 failed");
  });
  m.compressed_size = packed_size;
  uLongf unpacked_size = 0;
  m.decompress_seconds = best_time(settings, [&] {
    unpacked_size = unpacked.size();
    if (uncompress(unpacked.data(), &unpacked_size, packed.data(), packed_size) != Z_OK)
      die(file.name + ": zlib uncompress failed");
  });
  if (unpacked_size != input.size() || memcmp(unpacked.data(), input.data(), input.size()) != 0)
    die(file.name + ": zlib round trip differs from the input");
  return m;
}

Measurement measure(const CorpusFile &file, const Settings &settings, Codec codec) {
  if (codec == ZLIB_6 || codec == ZLIB_9) return measure_zlib(file, codec == ZLIB_6 ? 6 : 9, settings);
  return measure_kestrune(file, settings, codec);
}

void print_row(const char *file, size_t size, const char *codec, const Measurement &m) {
  double ratio = m.compressed_size ? static_cast<double>(size) / m.compressed_size : 0;
  printf("%-16s %10zu  %-13s %10zu %7.3f %12.1f %14.1f\n", file, size, codec, m.compressed_size, ratio,
         size / m.compress_seconds / 1e6, size / m.decompress_seconds / 1e6);
}

void usage(FILE *to) {
  fputs(
      "Usage: kestrune_bench [CORPUS...] [--reps N] [--min-time SECONDS]\n"
      "                      [--only CODEC[,CODEC...]] [--wall] [--write-corpus DIR]\n"
      "Measures compression ratio and MB/s of this codec and of zlib -6 / -9 on\n"
      "every file of each CORPUS: a directory, or \"generated\" (the default).\n"
      "Codecs: kestrune, kestrune-best, kestrune-max (slow, only when named), zlib-6, zlib-9.\n"
      "--wall times by the wall clock instead of the thread's CPU time.\n"
      "--write-corpus DIR saves the generated corpus there and exits.\n",
      to);
}

// --only's list; false when a name is not a codec.
bool select_codecs(const std::string &list, Settings *settings) {
  for (bool &wanted : settings->wanted) wanted = false;
  size_t at = 0;
  while (at <= list.size()) {
    size_t comma = list.find(',', at);
    std::string name = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    int codec = 0;
    while (codec < CODECS && name != CODEC_NAMES[codec]) codec++;
    if (codec == CODECS) return false;
    settings->wanted[codec] = true;
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return true;
}

// Returns 0 to go on, otherwise the exit status.
int parse_arguments(int argc, char **argv, Settings *settings) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool valued = arg == "--reps" || arg == "--min-time" || arg == "--write-corpus" || arg == "--only";
    if (arg == "-h" || arg == "--help") {
      usage(stdout);
      return -1;
    } else if (arg == "--wall") {
      settings->wall_clock = true;
    } else if (valued && i + 1 < argc) {
      std::string value = argv[++i];
      if (arg == "--reps") settings->min_reps = atoi(value.c_str()) < 1 ? 1 : atoi(value.c_str());
      if (arg == "--min-time") settings->min_seconds = atof(value.c_str());
      if (arg == "--write-corpus") settings->write_to = value;
      if (arg == "--only" && !select_codecs(value, settings)) {
        usage(stderr);
        return 2;
      }
    } else if (arg[0] != '-') {
      settings->corpora.push_back(arg);
    } else {
      usage(stderr);
      return 2;
    }
  }
  if (settings->corpora.empty()) settings->corpora.push_back("generated");
  return 0;
}

std::vector<CorpusFile> load(const std::string &corpus) {
  if (corpus == "generated") return generate_corpus();
  std::vector<CorpusFile> files;
  std::string error;
  if (!load_corpus(corpus, &files, &error)) die(error);
  return files;
}

void write_corpus(const std::string &directory) {
  mkdir(directory.c_str(), 0777);
  for (const CorpusFile &file : generate_corpus()) {
    std::string path = directory + "/" + file.name;
    FILE *out = fopen(path.c_str(), "wb");
    if (!out || fwrite(file.bytes.data(), 1, file.bytes.size(), out) != file.bytes.size() || fclose(out) != 0)
      die(path + ": cannot write");
  }
}

struct CorpusTotals {
  std::string name;
  size_t size = 0;
  Measurement codecs[CODECS];
};

// One table per corpus: a row per file and codec, then the totals (total
// bytes over the sum of the best times).
CorpusTotals measure_corpus(const std::string &corpus, const Settings &settings) {
  CorpusTotals totals;
  totals.name = corpus;
  printf("corpus: %s; best of >= %d runs and >= %.2f s (%s) per figure; MB/s of uncompressed bytes\n\n",
         corpus == "generated" ? "generated (seed 20261208)" : corpus.c_str(), settings.min_reps, settings.min_seconds,
         settings.wall_clock ? "wall clock" : "CPU time");
  printf("%-16s %10s  %-13s %10s %7s %12s %14s\n", "file", "size", "codec", "packed", "ratio", "compress",
         "decompress");
  for (const CorpusFile &file : load(corpus)) {
    totals.size += file.bytes.size();
    const char *label = file.name.c_str();
    for (int c = 0; c < CODECS; ++c) {
      if (!settings.wanted[c]) continue;
      Measurement m = measure(file, settings, static_cast<Codec>(c));
      print_row(label, file.bytes.size(), CODEC_NAMES[c], m);
      label = "";
      totals.codecs[c].compressed_size += m.compressed_size;
      totals.codecs[c].compress_seconds += m.compress_seconds;
      totals.codecs[c].decompress_seconds += m.decompress_seconds;
    }
    fflush(stdout);
  }
  printf("\n");
  const char *label = "TOTAL";
  for (int c = 0; c < CODECS; ++c) {
    if (!settings.wanted[c]) continue;
    print_row(label, totals.size, CODEC_NAMES[c], totals.codecs[c]);
    label = "";
  }
  printf("\n");
  return totals;
}

// Each codec's totals on every corpus, and how much smaller --best (and the
// max estimate) comes out than the default encoder.
void print_summary(const std::vector<CorpusTotals> &corpora, const Settings &settings) {
  printf("summary: packed bytes, ratio, MB/s compress / decompress\n%-13s", "codec");
  for (const CorpusTotals &corpus : corpora) printf("  %-36.36s", corpus.name.c_str());
  printf("\n");
  for (int c = 0; c < CODECS; ++c) {
    if (!settings.wanted[c]) continue;
    printf("%-13s", CODEC_NAMES[c]);
    for (const CorpusTotals &corpus : corpora) {
      const Measurement &m = corpus.codecs[c];
      printf("  %10zu %6.3f %8.1f /%7.1f", m.compressed_size, static_cast<double>(corpus.size) / m.compressed_size,
             corpus.size / m.compress_seconds / 1e6, corpus.size / m.decompress_seconds / 1e6);
    }
    printf("\n");
  }
  for (int c : {KESTRUNE_BEST, KESTRUNE_MAX}) {
    if (!settings.wanted[KESTRUNE] || !settings.wanted[c]) continue;
    printf("%s smaller than kestrune:", CODEC_NAMES[c]);
    for (const CorpusTotals &corpus : corpora)
      printf("  %.2f%%", 100.0 - 100.0 * corpus.codecs[c].compressed_size / corpus.codecs[KESTRUNE].compressed_size);
    printf("\n");
  }
}

}  // namespace

int main(int argc, char **argv) {
  Settings settings;
  int status = parse_arguments(argc, argv, &settings);
  if (status != 0) return status < 0 ? 0 : status;
  if (!settings.write_to.empty()) {
    write_corpus(settings.write_to);
    return 0;
  }
  std::vector<CorpusTotals> corpora;
  for (const std::string &corpus : settings.corpora) corpora.push_back(measure_corpus(corpus, settings));
  if (corpora.size() > 1) print_summary(corpora, settings);
  return 0;
}
