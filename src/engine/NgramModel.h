#pragma once
// A language's character trigram model, learnt from its word list, that tells whether a word the
// spell checker accepts still looks like a random string of letters. Models are built at most once
// per language key and kept for the process in a cache under one lock; model() and looksLikeJunk()
// may be called from any thread. A built model is immutable.

#include "platform/Defaults.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx {

class NgramModel {
public:
    /// The model of language (a two-letter key) from its list in folder; none when there is no
    /// folder, no list or no usable line.
    static std::shared_ptr<const NgramModel> build(const std::string& language,
                                                   const std::optional<std::filesystem::path>& folder);

    /// The mean natural-log probability per character step of word, lower-cased and marked.
    double score(std::string_view word) const;

    /// The cached model of a language code's key, built from the process's resource folder on the
    /// first call for that key; none, for good, when it cannot be built.
    static std::shared_ptr<const NgramModel> model(const std::string& language);
    /// word scores below -4.0 in the model of language. False whenever the setting
    /// "kestrelix.ngramOff" is on, word is shorter than 3 characters or there is no model.
    static bool looksLikeJunk(std::string_view word, const std::string& language);

    /// The settings looksLikeJunk() reads at every call; none reads as all defaults. They must
    /// outlive every later call.
    static void setDefaults(const Defaults* defaults);

private:
    // Counts of character sequences, each sequence packed into one number from the ids of its
    // characters; sorted by sequence, keys and counts side by side.
    struct Counts {
        std::vector<std::uint64_t> keys;
        std::vector<std::uint32_t> counts;
        double of(std::uint64_t key) const;
    };

    /// The ids of word's characters; a character never seen gets one that no sequence holds.
    std::vector<std::uint32_t> ids(std::string_view word) const;

    std::unordered_map<std::string, std::uint32_t> m_ids;  // each character seen, markers included
    Counts m_tri;                                          // three-character sequence -> count
    Counts m_bi;                                           // two-character start of a counted trigram
    double m_alphabet = 1;                                 // distinct characters seen (at least 1)
};

}  // namespace kx
