// Loads the built libvestrel.so the way the program does and checks what it exports.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "vestrel/vestrel.h"

namespace {

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};
using Library = std::unique_ptr<void, LibraryCloser>;

// Names of the symbols the shared object defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    const std::string image = plexivar::testing::TempDir::Read(path);
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr))
        return names;
    Elf64_Ehdr eh;
    std::memcpy(&eh, image.data(), sizeof eh);
    if (eh.e_shoff == 0 || eh.e_shoff + std::size_t{eh.e_shnum} * sizeof(Elf64_Shdr) > image.size())
        return names;
    auto section = [&](std::size_t i) {
        Elf64_Shdr sh;
        std::memcpy(&sh, image.data() + eh.e_shoff + i * sizeof(Elf64_Shdr), sizeof sh);
        return sh;
    };
    for (std::size_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr sh = section(i);
        if (sh.sh_type != SHT_DYNSYM || sh.sh_link >= eh.e_shnum)
            continue;
        const Elf64_Shdr strings = section(sh.sh_link);
        for (std::size_t off = sh.sh_offset; off + sizeof(Elf64_Sym) <= sh.sh_offset + sh.sh_size;
             off += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            std::memcpy(&sym, image.data() + off, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || sym.st_name == 0)
                continue;
            names.insert(std::string(image.data() + strings.sh_offset + sym.st_name));
        }
    }
    return names;
}

TEST(LibraryExportsTest, OnlyTheCInterfaceIsExported) {
    const std::set<std::string> names = DefinedDynamicSymbols(VESTREL_LIBRARY_PATH);
    EXPECT_EQ(names, (std::set<std::string>{"SetParams", "ResamleTIFF", "SimpleResamleTIFF",
                                            "DotGainTIFF"}));
}

// The program's own TIFF handlers, recording what reaches them.
std::vector<std::string>& Recorded() {
    static std::vector<std::string> lines;
    return lines;
}
void RecordError(const char* module, const char* format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    Recorded().push_back(std::string("error ") + module + ": " + text);
}
void RecordWarning(const char* module, const char* format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    Recorded().push_back(std::string("warning ") + module + ": " + text);
}

// The TIFF library is shared with the program: while the engine is loaded its handlers are
// in place, and unloading it puts back the program's (handlers left pointing into an
// unloaded library would be called after their code is gone).
TEST(LibraryExportsTest, UnloadingPutsBackTheProgramsHandlers) {
    Recorded().clear();
    const TIFFErrorHandler programError = TIFFSetErrorHandler(&RecordError);
    const TIFFErrorHandler programWarning = TIFFSetWarningHandler(&RecordWarning);
    {
        Library lib(dlopen(VESTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL));
        ASSERT_TRUE(lib) << dlerror();
        ::testing::internal::CaptureStderr();
        TIFFErrorExt(nullptr, "Test", "while loaded");
        TIFFWarningExt(nullptr, "Test", "while loaded");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Test Error: while loaded\nTest Warning: while loaded\n");
        EXPECT_TRUE(Recorded().empty()) << "the engine's handlers are in place";
    }
    TIFFErrorExt(nullptr, "Test", "after unload");
    TIFFWarningExt(nullptr, "Test", "after unload");
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"error Test: after unload",
                                                    "warning Test: after unload"}));
    EXPECT_EQ(TIFFSetErrorHandler(programError), &RecordError);
    EXPECT_EQ(TIFFSetWarningHandler(programWarning), &RecordWarning);
}

TEST(LibraryExportsTest, LoadsInAnyDirectoryAndBindsSetParamsByName) {
    plexivar::testing::TempDir dir;
    dir.Write("plexivar.ini", "[Setup]\nLinebuffers=garbage\n");
    const plexivar::testing::ScopedCurrentDir cwd(dir.path());
    Library lib(dlopen(VESTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL));
    ASSERT_TRUE(lib) << dlerror();
    using SetParamsFn = void (*)(int, int, int);
    auto setParams = reinterpret_cast<SetParamsFn>(dlsym(lib.get(), "SetParams"));
    ASSERT_NE(setParams, nullptr);
    setParams(1024, 1, 1);
    EXPECT_EQ(dlsym(lib.get(), "InitializeEngine"), nullptr);
    EXPECT_EQ(dlsym(lib.get(), "_ZN7vestrel7GetDataERNS_8AreaDescERNS_12SourceRowSetEi"), nullptr);
}

}  // namespace
