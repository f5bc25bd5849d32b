#include "CameraName.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace quello {

namespace {

struct Camera {
    std::string_view camera, label;
    int order;
};

constexpr Camera kFront{"front", "F", 0};
constexpr Camera kRear{"rear", "R", 1};
constexpr Camera kInside{"inside", "I", 2};

constexpr std::array<Camera, 6> kTeslaCameras{{
    {"front", "F", 0},
    {"back", "B", 1},
    {"left_repeater", "LR", 3},
    {"right_repeater", "RR", 4},
    {"left_pillar", "LP", 5},
    {"right_pillar", "RP", 6},
}};

constexpr std::array<std::string_view, 4> kMovieExtensions{".mp4", ".mov", ".ts", ".avi"};

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), text.end() - std::ptrdiff_t(tail.size()),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

std::size_t DigitCount(std::string_view text) {
    return std::size_t(std::count_if(text.begin(), text.end(), IsDigit));
}

const Camera* LetterCamera(char c) {
    switch (Lower(c)) {
    case 'f':
        return &kFront;
    case 'r':
        return &kRear;
    case 'i':
        return &kInside;
    default:
        return nullptr;
    }
}

CameraName Make(std::string_view key, const Camera& camera, bool weak = false) {
    return {std::string(key), std::string(camera.camera), std::string(camera.label), camera.order,
            weak};
}

constexpr std::size_t kStampLength = 19; // YYYY-MM-DD_HH-MM-SS

// YYYY-MM-DD_HH-MM-SS, the whole of `text`.
bool IsTeslaStamp(std::string_view text) {
    static constexpr std::string_view kPattern = "dddd-dd-dd_dd-dd-dd";
    if (text.size() != kPattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (kPattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != kPattern[i])
            return false;
    return true;
}

std::optional<CameraName> ParseTesla(std::string_view stem) {
    for (const auto& camera : kTeslaCameras) {
        const std::size_t tagLength = camera.camera.size() + 1;
        if (stem.size() > tagLength && stem[stem.size() - tagLength] == '-' &&
            stem.substr(stem.size() - camera.camera.size()) == camera.camera &&
            stem.size() >= tagLength + kStampLength) {
            // The library keeps a car's clip under its camera-clock time: "100000_<stamp>-back".
            const std::size_t stamp = stem.size() - tagLength - kStampLength;
            if (IsTeslaStamp(stem.substr(stamp, kStampLength)) &&
                (stamp == 0 || stem[stamp - 1] == '_'))
                return Make(stem.substr(0, stem.size() - tagLength), camera);
        }
    }
    return std::nullopt;
}

} // namespace

bool IsCameraMovieName(const std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view extension = fileName.substr(dot);
    return std::any_of(kMovieExtensions.begin(), kMovieExtensions.end(), [&](std::string_view e) {
        return e.size() == extension.size() && EndsWithNoCase(extension, e);
    });
}

std::optional<CameraName> ParseCameraName(const std::string& fileName) {
    std::string_view name = fileName;
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    if (!IsCameraMovieName(name))
        return std::nullopt;
    const std::string_view stem = name.substr(0, dot);

    if (auto tesla = ParseTesla(stem))
        return tesla;

    // The words are checked before the letters: "-rear" ends in a letter tag too.
    static constexpr std::array<std::pair<std::string_view, const Camera*>, 4> kWords{{
        {"-front", &kFront},
        {"-back", &kRear},
        {"-rear", &kRear},
        {"-inside", &kInside},
    }};
    for (const auto& [word, camera] : kWords)
        if (EndsWithNoCase(stem, word)) {
            const auto rest = stem.substr(0, stem.size() - word.size());
            return DigitCount(rest) >= 6 ? std::optional(Make(rest, *camera)) : std::nullopt;
        }

    if (stem.size() < 2)
        return std::nullopt;
    const Camera* camera = LetterCamera(stem.back());
    if (!camera)
        return std::nullopt;
    const std::string_view before = stem.substr(0, stem.size() - 1);
    if (before.back() == '_') {
        const auto rest = before.substr(0, before.size() - 1);
        return DigitCount(rest) >= 6 ? std::optional(Make(rest, *camera)) : std::nullopt;
    }
    // `_NF`: the kind letter stays in the key, so that the normal and the event recording of
    // one time are two moments.
    if (before.size() >= 2 && before[before.size() - 2] == '_' &&
        std::string_view("NEPnep").find(before.back()) != std::string_view::npos) {
        const auto rest = before.substr(0, before.size() - 2);
        return DigitCount(rest) >= 6 ? std::optional(Make(before, *camera)) : std::nullopt;
    }
    const bool stampOnly = std::all_of(before.begin(), before.end(),
                                       [](char c) { return IsDigit(c) || c == '_' || c == '-'; });
    if (stampOnly && IsDigit(before.back()) && DigitCount(before) >= 8)
        return Make(before, *camera, true);
    return std::nullopt;
}

} // namespace quello
