// A small tmpfs mounted in a scratch folder, for writers that meet a full or read-only disk.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/mount.h>

namespace hrv::test {

// Mounts `bytes` of tmpfs on the folder "mnt" in `scratch` (declare it after the ScratchDir, so it
// is unmounted first); Mounted() is false where mounting is not permitted (not root, a container
// without the capability), and the test then skips.
class SmallMount {
public:
    SmallMount(const std::filesystem::path& scratch, std::size_t bytes) : dir_(scratch / "mnt") {
        std::filesystem::create_directory(dir_);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::mount("tmpfs", dir_.string().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallMount() {
        if (mounted_) {
            ::umount2(dir_.string().c_str(), MNT_DETACH);
        }
    }
    SmallMount(const SmallMount&) = delete;
    SmallMount& operator=(const SmallMount&) = delete;

    bool Mounted() const { return mounted_; }
    std::string operator/(const std::string& name) const { return (dir_ / name).string(); }

    // Fills the rest of the file system with one file, so the next write meets ENOSPC.
    void Fill() const {
        const std::string path = (dir_ / "filler").string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            return;
        }
        static const char kBlock[4096] = {};
        while (std::fwrite(kBlock, 1, sizeof kBlock, f) == sizeof kBlock) {
        }
        std::fclose(f);
        // What a block did not take, bytes do.
        f = std::fopen(path.c_str(), "ab");
        while (f != nullptr && std::fputc(0, f) != EOF && std::fflush(f) == 0) {
        }
        if (f != nullptr) {
            std::fclose(f);
        }
    }
    // Makes the file system read-only, its files left as they are.
    bool MakeReadOnly() const {
        return ::mount(nullptr, dir_.string().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) ==
               0;
    }

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
};

} // namespace hrv::test
