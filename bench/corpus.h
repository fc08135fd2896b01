// The benchmark's default corpus, generated from a fixed seed so every run on
// every machine measures the same bytes, and loading a corpus directory.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

struct CorpusFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Six files of mixed character: English-like text, C-like source code, an
// x86-like executable image, runs, random bytes and a 24-bit bitmap image.
std::vector<CorpusFile> generate_corpus();

// Every regular, non-empty file directly in directory, in name order. False
// with *error when the directory cannot be read.
bool load_corpus(const std::string &directory, std::vector<CorpusFile> *files, std::string *error);
