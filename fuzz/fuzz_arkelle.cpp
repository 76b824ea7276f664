// libFuzzer target for the reading side of the archive library: arbitrary
// bytes as a package, listed, extracted and updated in place.
#include "arkelle/arkelle.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Names {
    std::vector<std::string> items;
    static int count(void* c) { return int(static_cast<Names*>(c)->items.size()); }
    static const char* item(void* c, int i) { return static_cast<Names*>(c)->items[size_t(i)].c_str(); }
    static void clear(void* c) { static_cast<Names*>(c)->items.clear(); }
    static void append(void* c, const char* t) { static_cast<Names*>(c)->items.emplace_back(t); }
    ArkelleStringList abi() { return {this, &count, &item, &clear, &append}; }
};

std::string workDir()
{
    static std::string dir = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string t = std::string(base) + "/arkelle-fuzz-XXXXXX";
        if (!mkdtemp(t.data()))
            abort();
        FILE* f = fopen((t + "/input.dat").c_str(), "wb");
        fputs("a small file to add", f);
        fclose(f);
        return t;
    }();
    return dir;
}

void writeArchive(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        abort();
    fwrite(data, 1, size, f);
    fclose(f);
}

void emptyFolder(const std::string& path)
{
    DIR* d = opendir(path.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.' || (e->d_name[1] && (e->d_name[1] != '.' || e->d_name[2])))
            unlink((path + "/" + e->d_name).c_str());
    closedir(d);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string dir = workDir();
    const std::string zip = dir + "/pkg.zip";
    const std::string out = dir + "/out";
    writeArchive(zip, data, size);

    Names list;
    const ArkelleStringList abi = list.abi();
    getZipList(zip.c_str(), &abi);
    const char* first = getFirstZipFileName(zip.c_str());
    if (!first)
        abort();
    unZip(zip.c_str(), out.c_str(), "pw");
    emptyFolder(out);

    // Updating the package reads it once more and copies its entries.
    Names files;
    files.items.push_back(dir + "/input.dat");
    const ArkelleStringList filesAbi = files.abi();
    zipList(&filesAbi, zip.c_str(), "");
    return 0;
}
