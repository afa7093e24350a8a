// fuzz_seeds FOLDER [FIXTURES]: writes the seed corpus of every fuzz target into
// FOLDER/seeds/<target>/ and makes the growing corpus folders FOLDER/corpus/<target>/.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/seed_corpus.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER [FIXTURES]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path folder = argv[1];
    // Seeds are written afresh; the corpus the fuzzers grew is kept.
    fs::remove_all(folder / "seeds");
    for (const plexivar::fuzz::FuzzTarget& target : plexivar::fuzz::FuzzTargets())
        fs::create_directories(folder / "corpus" / target.name);
    const int count = plexivar::fuzz::WriteSeedCorpus((folder / "seeds").string(),
                                                      PLEXIVAR_SOURCE_DIR, argc > 2 ? argv[2] : "");
    std::printf("%d seeds in %s\n", count, (folder / "seeds").c_str());
    return count > 0 ? 0 : 1;
}
