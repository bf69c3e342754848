#pragma once
// The two images that ship in the resource folder: the colour logo and the monochrome glyph from
// which the tray icon is drawn. Main thread only.

#include <QImage>

#include <filesystem>
#include <optional>
#include <string>

namespace kx {

class Assets {
public:
    /// The resource folder, found once per process; none when there is no resource folder.
    static const std::optional<std::filesystem::path>& bundle();
    /// The named PNG ("kestrelix_logo") from the folder, or from its "Resources" subfolder; a null
    /// image when it is missing or does not decode.
    static QImage image(const std::string& name);
    static QImage image(const std::optional<std::filesystem::path>& folder, const std::string& name);
    /// The colour logo, loaded once; null when missing.
    static const QImage& logo();
    /// A new glyph 17 units high, its width following the source's aspect ratio, drawn from
    /// "kestrelix_mono" with an optional slash; null when the source is missing or has no height.
    static QImage menuGlyph(bool slashed, double scale = 1.0);
    static QImage menuGlyph(const QImage& source, bool slashed, double scale = 1.0);
};

}  // namespace kx
