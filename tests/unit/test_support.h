// Helpers shared by the unit tests: temporary files and the example data file.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testing_support {

// The names in a folder, sorted, without "." and "..". readdir64: a 32-bit build's readdir
// fails on the 64-bit offsets of some file systems.
inline std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent64* entry = readdir64(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A directory of its own for each test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/folvane-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made != nullptr ? made : "/tmp";
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> names() const { return folderNames(path_); }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

inline void writeFile(const std::string& path, const std::string& text) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

inline bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }


inline std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// What R writes for the default simulated unit.
inline const char* exampleFile() {
    return "Setup Password\n\t\nPower-On Password\nAsset Tracking Number\n\tROOM-7\n"
           "Serial Port Address\n\tDisabled\n\t*3F8h/IRQ4\n\t2F8h/IRQ3\n\t3E8h/IRQ4\n\t2E8h/IRQ3\n"
           "Parallel Port Address\n\tDisabled\n\t3BCh/IRQ7\n\t*378h/IRQ7\n\t278h/IRQ5\n"
           "Printer Mode\n\tOutput-Only\n\tEPP\n\t*ECP\n\tECP/EPP\n"
           "ECP Mode Use DMA\n\tDMA1\n\t*DMA3\n"
           "Parallel Port EPP Type\n\t*EPP 1.9\n\tEPP 1.7\n"
           "Boot Order\n\tHard Disk\n\tUSB\n\tLAN\n"
           "PS/2 Port Status\n\t*PS/2 port is keyboard\n\tPS/2 port is mouse\n"
           "PWRON After PWR-Fail\n\tOff\n\tOn\n\t*Former state\n"
           "USB Controller\n\tDisabled\n\t*Enabled\n"
           "Wake On RTC\n\tSunday\n\t*Monday\n\t*Tuesday\n\t*Wednesday\n\t*Thursday\n\t*Friday\n\tSaturday\n\t6:05\n"
           "Numlock\n\tOff\n\t*On\n"
           "S3 Support\n\t*Disabled\n\tEnabled\n";
}

}  // namespace testing_support
