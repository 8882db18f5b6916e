#pragma once
// Lemmas from hunspell with the Russian dictionary. One Lemmatiser wraps one
// Hunspell object and is NOT thread-safe: use one per thread.
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class Hunspell;

namespace corvus {

class Lemmatiser {
public:
    // basePath: the dictionary without ".aff"/".dic" (e.g. ".../ru_RU"). The
    // dictionary's encoding comes from the SET line of its .aff (UTF-8 or KOI8-R
    // or any codec Qt knows); words are converted to it and back.
    // Returns nullptr and sets *error (Russian) when the files are missing or unreadable.
    static std::unique_ptr<Lemmatiser> open(const QString &basePath, QString *error);
    ~Lemmatiser();

    // The lemma of a folded 1251 word form, folded, in 1251; std::nullopt when
    // hunspell does not know the form. When hunspell gives several stems, the form
    // itself wins if it is among them, otherwise the first stem.
    // A form that is unknown in lower case is tried once more capitalised
    // (proper names: "москвы" -> "Москва" -> "москва").
    std::optional<std::string> lemma(std::string_view foldedCp1251);
    // All stems hunspell gives (folded, 1251, without duplicates).
    std::vector<std::string> stems(std::string_view foldedCp1251);
    // Whether hunspell accepts the word (1251, any case).
    bool known(std::string_view cp1251);

private:
    Lemmatiser();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace corvus
