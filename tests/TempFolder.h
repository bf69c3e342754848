#pragma once
// A fresh folder of this test process's own under the system's temporary folder, removed again
// when the object goes. Test programs run side by side, so no two may share a fixed name.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kx::test {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "kx-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

}  // namespace kx::test
