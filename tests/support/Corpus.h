// Where the archives made by other programs live: the read-only corpus beside the repository
// (CORVINA_CORPUS_DIR, set by the build; by default ../shared/corpus next to the sources).
#pragma once

#include <filesystem>

namespace corvina::testing {

inline const std::filesystem::path& CorpusDir() {
  static const std::filesystem::path dir = std::filesystem::path(CORVINA_CORPUS_DIR).lexically_normal();
  return dir;
}

}  // namespace corvina::testing
