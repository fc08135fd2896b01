// kestrune_bench: compression ratio and throughput of the LZHUF codec, its
// default encoder and the stronger parse of compress_stream_best, with zlib
// at levels 6 and 9 measured in the same run on the same bytes.
//
//   kestrune_bench [DIR] [--reps N] [--min-time SECONDS] [--only CODEC]
//                  [--wall] [--write-corpus DIR]
//
// Without DIR it measures a generated corpus (fixed seed). Each figure is the
// best of at least N runs (default 5) and at least --min-time seconds of
// repetitions (default 0.5). Runs are timed by the thread's CPU time, so that
// other work on a shared machine does not count against the codec; --wall
// times them by the wall clock instead.
// Throughput is in MB/s (10^6 bytes per second) of uncompressed data: input
// bytes when compressing, output bytes when decompressing.
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
#include "tests/support/memory_files.h"

namespace {

struct Settings {
  int min_reps = 5;
  double min_seconds = 0.5;
  std::string only;  // measure just this codec ("kestrune", "kestrune-best", "zlib-6", "zlib-9")
  bool wall_clock = false;
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

// The default encoder, or with best the stronger parse of compress_stream_best.
Measurement measure_kestrune(const CorpusFile &file, const Settings &settings, bool best) {
  const std::vector<uint8_t> &input = file.bytes;
  Measurement m;
  MemoryFile in(input), packed, unpacked;
  packed.data.reserve(input.size() * 3 + 65536);
  unpacked.data.reserve(input.size());
  for (MemoryFile *f : {&in, &packed, &unpacked}) f->log_calls = false;
  m.compress_seconds = best_time(settings, [&] {
    rewind_files(in, packed);
    int32_t count = static_cast<int32_t>(input.size());
    if (!(best ? compress_stream_best : compress_stream)(in.handle(), packed.handle(), count))
      die(file.name + ": compress_stream failed");
  });
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

void print_row(const char *file, size_t size, const char *codec, const Measurement &m) {
  double ratio = m.compressed_size ? static_cast<double>(size) / m.compressed_size : 0;
  printf("%-16s %10zu  %-13s %10zu %7.3f %12.1f %14.1f\n", file, size, codec, m.compressed_size, ratio,
         size / m.compress_seconds / 1e6, size / m.decompress_seconds / 1e6);
}

void usage(FILE *to) {
  fputs(
      "Usage: kestrune_bench [DIR] [--reps N] [--min-time SECONDS] [--only CODEC]\n"
      "                      [--wall] [--write-corpus DIR]\n"
      "Measures compression ratio and MB/s of this codec and of zlib -6 / -9 on\n"
      "every file of DIR, or on a generated corpus when DIR is not given.\n"
      "--only kestrune|kestrune-best|zlib-6|zlib-9 measures one codec (a quick check).\n"
      "--wall times by the wall clock instead of the thread's CPU time.\n"
      "--write-corpus DIR saves the corpus there and exits.\n",
      to);
}

}  // namespace

int main(int argc, char **argv) {
  Settings settings;
  std::string directory, write_to;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      usage(stdout);
      return 0;
    } else if (arg == "--wall") {
      settings.wall_clock = true;
    } else if ((arg == "--reps" || arg == "--min-time" || arg == "--write-corpus" || arg == "--only") && i + 1 < argc) {
      std::string value = argv[++i];
      if (arg == "--reps")
        settings.min_reps = atoi(value.c_str());
      else if (arg == "--min-time")
        settings.min_seconds = atof(value.c_str());
      else if (arg == "--only")
        settings.only = value;
      else
        write_to = value;
      if (settings.min_reps < 1) settings.min_reps = 1;
    } else if (arg[0] != '-' && directory.empty()) {
      directory = arg;
    } else {
      usage(stderr);
      return 2;
    }
  }

  const char *codecs[] = {"kestrune", "kestrune-best", "zlib-6", "zlib-9"};
  enum { CODECS = 4 };
  bool wanted[CODECS];
  bool any = false;
  for (int c = 0; c < CODECS; ++c) {
    wanted[c] = settings.only.empty() || settings.only == codecs[c];
    any = any || wanted[c];
  }
  if (!any) {
    usage(stderr);
    return 2;
  }

  std::vector<CorpusFile> corpus;
  if (directory.empty()) {
    corpus = generate_corpus();
  } else {
    std::string error;
    if (!load_corpus(directory, &corpus, &error)) die(error);
  }
  if (!write_to.empty()) {
    mkdir(write_to.c_str(), 0777);
    for (const CorpusFile &file : corpus) {
      FILE *out = fopen((write_to + "/" + file.name).c_str(), "wb");
      if (!out || fwrite(file.bytes.data(), 1, file.bytes.size(), out) != file.bytes.size() || fclose(out) != 0)
        die(write_to + "/" + file.name + ": cannot write");
    }
    return 0;
  }

  printf("corpus: %s; best of >= %d runs and >= %.2f s (%s) per figure; MB/s of uncompressed bytes\n\n",
         directory.empty() ? "generated (seed 20261208)" : directory.c_str(), settings.min_reps, settings.min_seconds,
         settings.wall_clock ? "wall clock" : "CPU time");
  printf("%-16s %10s  %-13s %10s %7s %12s %14s\n", "file", "size", "codec", "packed", "ratio", "compress",
         "decompress");
  Measurement totals[CODECS];
  size_t total_size = 0;
  for (const CorpusFile &file : corpus) {
    total_size += file.bytes.size();
    bool first = true;
    for (int c = 0; c < CODECS; ++c) {
      if (!wanted[c]) continue;
      Measurement m = c < 2 ? measure_kestrune(file, settings, c == 1) : measure_zlib(file, c == 2 ? 6 : 9, settings);
      print_row(first ? file.name.c_str() : "", file.bytes.size(), codecs[c], m);
      first = false;
      totals[c].compressed_size += m.compressed_size;
      totals[c].compress_seconds += m.compress_seconds;
      totals[c].decompress_seconds += m.decompress_seconds;
    }
    fflush(stdout);
  }
  printf("\n");
  bool first = true;
  for (int c = 0; c < CODECS; ++c) {
    if (!wanted[c]) continue;
    print_row(first ? "TOTAL" : "", total_size, codecs[c], totals[c]);
    first = false;
  }
  return 0;
}
