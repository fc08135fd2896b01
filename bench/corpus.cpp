#include "bench/corpus.h"

#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>

namespace {

typedef std::mt19937 Random;

void append(std::vector<uint8_t> *out, const std::string &text) { out->insert(out->end(), text.begin(), text.end()); }

void append_le32(std::vector<uint8_t> *out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Picks index i of n with probability proportional to 1 / (i + 1).
size_t zipf(Random &random, size_t n) {
  static std::vector<double> cumulative;
  if (cumulative.size() != n) {
    cumulative.assign(n, 0);
    double sum = 0;
    for (size_t i = 0; i < n; ++i) cumulative[i] = sum += 1.0 / static_cast<double>(i + 1);
  }
  double x = std::uniform_real_distribution<double>(0, cumulative.back())(random);
  return static_cast<size_t>(std::lower_bound(cumulative.begin(), cumulative.end(), x) - cumulative.begin());
}

// ---- English-like prose ---------------------------------------------------------

const char *const WORDS[] = {
    "the",      "of",        "and",       "to",        "a",        "in",      "is",       "it",       "that",
    "was",      "he",        "for",       "on",        "are",      "as",      "with",     "his",      "they",
    "at",       "be",        "this",      "from",      "have",     "or",      "by",       "one",      "had",
    "not",      "but",       "what",      "all",       "were",     "when",    "we",       "there",    "can",
    "an",       "your",      "which",     "their",     "said",     "if",      "do",       "will",     "each",
    "about",    "how",       "up",        "out",       "them",     "then",    "she",      "many",     "some",
    "so",       "these",     "would",     "other",     "into",     "has",     "more",     "her",      "two",
    "like",     "him",       "see",       "time",      "could",    "no",      "make",     "than",     "first",
    "been",     "its",       "who",       "now",       "people",   "my",      "made",     "over",     "did",
    "down",     "only",      "way",       "find",      "use",      "may",     "water",    "long",     "little",
    "very",     "after",     "words",     "called",    "just",     "where",   "most",     "know",     "kestrel",
    "hovered",  "above",     "meadow",    "wind",      "screen",   "quiet",   "evening",  "light",    "window",
    "colour",   "slowly",    "across",    "valley",    "river",    "morning", "because",  "through",  "another",
    "without",  "between",   "against",   "whether",   "remember", "village", "question", "children", "together",
    "mountain", "something", "beautiful", "different", "following"};
const size_t WORD_COUNT = sizeof WORDS / sizeof WORDS[0];

std::vector<uint8_t> english_text(Random &random, size_t size) {
  std::vector<uint8_t> out;
  size_t column = 0;
  int sentences_in_paragraph = 0;
  while (out.size() < size) {
    int words = 5 + static_cast<int>(random() % 16);
    for (int w = 0; w < words; ++w) {
      std::string word = WORDS[zipf(random, WORD_COUNT)];
      if (w == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
      if (w == words - 1)
        word += random() % 8 ? "." : "?";
      else if (random() % 9 == 0)
        word += ",";
      if (column + word.size() + 1 > 72) {
        out.push_back('\n');
        column = 0;
      } else if (column > 0) {
        out.push_back(' ');
        ++column;
      }
      append(&out, word);
      column += word.size();
    }
    if (++sentences_in_paragraph == 6) {
      append(&out, "\n\n");
      column = 0;
      sentences_in_paragraph = 0;
    }
  }
  out.resize(size);
  return out;
}

// ---- C-like source code ---------------------------------------------------------

const char *const NAME_PARTS[] = {"stream", "block", "window", "code", "size", "count", "offset", "buffer",
                                  "node",   "tree",  "match",  "bit",  "read", "write", "next",   "position"};
const char *const TYPES[] = {"int", "uint32_t", "int32_t", "uint8_t *", "const char *", "size_t", "struct node *"};

std::string identifier(Random &random) {
  std::string name = NAME_PARTS[random() % 16];
  if (random() % 2) name += std::string("_") + NAME_PARTS[random() % 16];
  return name;
}

std::vector<uint8_t> source_code(Random &random, size_t size) {
  std::vector<uint8_t> out;
  append(&out, "// Generated source for the benchmark corpus.\n#include <stdint.h>\n#include <string.h>\n\n");
  while (out.size() < size) {
    std::string function = identifier(random);
    std::string a = identifier(random), b = identifier(random);
    append(&out, "// Returns the " + a + " of the " + b + ", or -1 when none is left.\n");
    append(&out, std::string("static ") + TYPES[random() % 7] + " " + function + "(" + TYPES[random() % 7] + " " + a +
                     ", int " + b + ") {\n");
    int statements = 3 + static_cast<int>(random() % 8);
    for (int s = 0; s < statements; ++s) {
      std::string x = identifier(random), y = identifier(random);
      switch (random() % 5) {
        case 0:
          append(&out, "  for (int i = 0; i < " + b + "; ++i) {\n    " + x + "[i] = " + y + "[i] + " +
                           std::to_string(random() % 64) + ";\n  }\n");
          break;
        case 1: append(&out, "  if (" + x + " >= " + y + ") return -1;\n"); break;
        case 2: append(&out, "  " + x + " += " + y + " * " + std::to_string(random() % 16) + ";\n"); break;
        case 3: append(&out, "  memcpy(" + x + ", " + y + ", sizeof " + x + ");\n"); break;
        default:
          append(&out, "  " + std::string(TYPES[random() % 7]) + " " + x + " = " + function + "(" + y + ", " + b +
                           " - 1);\n");
      }
    }
    append(&out, "  return " + a + ";\n}\n\n");
  }
  out.resize(size);
  return out;
}

// ---- x86-like executable image --------------------------------------------------

std::vector<uint8_t> executable_image(Random &random, size_t size) {
  std::vector<uint8_t> out;
  // A header-like start: signature, zero padding, a small table.
  append(&out, "MZ");
  out.resize(512, 0);
  size_t code_end = size * 3 / 4;
  while (out.size() < code_end) {
    // Function: prologue, a body of common instructions, epilogue, padding.
    const uint8_t prologue[] = {0x55, 0x89, 0xE5, 0x83, 0xEC};
    out.insert(out.end(), prologue, prologue + 5);
    out.push_back(static_cast<uint8_t>(4 * (random() % 16)));
    int instructions = 8 + static_cast<int>(random() % 40);
    for (int i = 0; i < instructions; ++i) {
      switch (random() % 7) {
        case 0:  // mov eax, [ebp - n]
          out.insert(out.end(), {0x8B, 0x45, static_cast<uint8_t>(0xFC - 4 * (random() % 8))});
          break;
        case 1:  // mov [ebp - n], eax
          out.insert(out.end(), {0x89, 0x45, static_cast<uint8_t>(0xFC - 4 * (random() % 8))});
          break;
        case 2:  // call rel32 to a nearby function
          out.push_back(0xE8);
          append_le32(&out, static_cast<uint32_t>(-static_cast<int32_t>(random() % 40000)));
          break;
        case 3:  // mov eax, imm32 (small constants and addresses)
          out.push_back(0xB8);
          append_le32(&out, random() % 2 ? random() % 256 : 0x00401000 + random() % 0x20000);
          break;
        case 4:  // test / jcc short
          out.insert(out.end(), {0x85, 0xC0, 0x74, static_cast<uint8_t>(random() % 64)});
          break;
        case 5:  // push / pop pairs
          out.insert(out.end(), {static_cast<uint8_t>(0x50 + random() % 8), static_cast<uint8_t>(0x58 + random() % 8)});
          break;
        default:  // add esp, n
          out.insert(out.end(), {0x83, 0xC4, static_cast<uint8_t>(4 * (random() % 8))});
      }
    }
    out.insert(out.end(), {0xC9, 0xC3});
    while (out.size() % 16) out.push_back(0xCC);
  }
  // Data: strings, a pointer table, zero fill.
  while (out.size() < size) {
    for (int i = 0; i < 20; ++i) {
      append(&out, identifier(random) + " failed: %s (%d)");
      out.push_back(0);
    }
    for (int i = 0; i < 64; ++i) append_le32(&out, 0x00402000 + 16 * (random() % 4096));
    out.resize(out.size() + random() % 600, 0);
  }
  out.resize(size);
  return out;
}

// ---- runs, random, bitmap ---------------------------------------------------------

std::vector<uint8_t> runs(Random &random, size_t size) {
  std::vector<uint8_t> out;
  std::geometric_distribution<int> length(0.02);
  while (out.size() < size) {
    if (random() % 4 == 0) {  // a short pattern repeated
      uint8_t a = static_cast<uint8_t>(random()), b = static_cast<uint8_t>(random());
      for (int i = 1 + length(random) / 2; i > 0; --i) out.insert(out.end(), {a, b});
    } else {
      out.insert(out.end(), 1 + static_cast<size_t>(length(random)), static_cast<uint8_t>(random() % 8 * 32));
    }
  }
  out.resize(size);
  return out;
}

std::vector<uint8_t> random_bytes(Random &random, size_t size) {
  std::vector<uint8_t> out(size);
  for (uint8_t &byte : out) byte = static_cast<uint8_t>(random());
  return out;
}

std::vector<uint8_t> bitmap(Random &random, int width, int height) {
  std::vector<uint8_t> out;
  uint32_t pixels = static_cast<uint32_t>(width * height * 3);
  append(&out, "BM");
  append_le32(&out, 54 + pixels);
  append_le32(&out, 0);
  append_le32(&out, 54);
  append_le32(&out, 40);
  append_le32(&out, static_cast<uint32_t>(width));
  append_le32(&out, static_cast<uint32_t>(height));
  out.insert(out.end(), {1, 0, 24, 0});
  append_le32(&out, 0);
  append_le32(&out, pixels);
  for (int i = 0; i < 4; ++i) append_le32(&out, i < 2 ? 2835 : 0);
  struct Disc {
    int x, y, r;
    uint8_t colour[3];
  };
  std::vector<Disc> discs;
  for (int i = 0; i < 12; ++i)
    discs.push_back({static_cast<int>(random() % width),
                     static_cast<int>(random() % height),
                     20 + static_cast<int>(random() % 80),
                     {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), static_cast<uint8_t>(random())}});
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Sky-like gradient with a little sensor noise in the lower half.
      int noise = y < height / 2 ? static_cast<int>(random() % 5) - 2 : 0;
      uint8_t pixel[3] = {static_cast<uint8_t>(std::clamp(255 * y / height + noise, 0, 255)),
                          static_cast<uint8_t>(std::clamp(128 + 64 * x / width + noise, 0, 255)),
                          static_cast<uint8_t>(std::clamp(40 + 100 * (x + y) / (width + height) + noise, 0, 255))};
      for (const Disc &disc : discs)
        if ((x - disc.x) * (x - disc.x) + (y - disc.y) * (y - disc.y) < disc.r * disc.r) memcpy(pixel, disc.colour, 3);
      out.insert(out.end(), pixel, pixel + 3);
    }
  }
  return out;
}

}  // namespace

std::vector<CorpusFile> generate_corpus() {
  Random random(20261208);
  std::vector<CorpusFile> files;
  files.push_back({"english.txt", english_text(random, 1 << 20)});
  files.push_back({"source.c", source_code(random, 768 << 10)});
  files.push_back({"program.exe", executable_image(random, 1 << 20)});
  files.push_back({"runs.bin", runs(random, 512 << 10)});
  files.push_back({"random.bin", random_bytes(random, 256 << 10)});
  files.push_back({"picture.bmp", bitmap(random, 512, 384)});
  return files;
}

bool load_corpus(const std::string &directory, std::vector<CorpusFile> *files, std::string *error) {
  DIR *dir = opendir(directory.c_str());
  if (!dir) {
    *error = directory + ": " + strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  while (struct dirent *entry = readdir(dir)) names.push_back(entry->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string &name : names) {
    std::string path = directory + "/" + name;
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) continue;
    if (info.st_size > 0x7FFFFFFF) {
      fprintf(stderr, "kestrune_bench: skipping %s: larger than a stream can hold\n", path.c_str());
      continue;
    }
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) continue;
    CorpusFile entry{name, std::vector<uint8_t>(static_cast<size_t>(info.st_size))};
    size_t got = fread(entry.bytes.data(), 1, entry.bytes.size(), file);
    fclose(file);
    entry.bytes.resize(got);
    if (!entry.bytes.empty()) files->push_back(std::move(entry));
  }
  if (files->empty()) {
    *error = directory + ": no non-empty regular files";
    return false;
  }
  return true;
}
