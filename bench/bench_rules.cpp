// SPDX-License-Identifier: GPL-3.0-or-later
// The new-name computation over a realistic mix of names with every rule on, and the wildcard
// matcher alone. Goal: at least 2,000,000 names per second with every rule on, when a fifth of
// the names hold their accents decomposed (as copied from macOS); names without combining marks
// are timed on their own too, so the two figures can be set side by side. Pattern replace with
// numbering, over a camera's folder and over the mix: at least 1,000,000 names per second. And
// the "Convert char(s)" fields at 16,000 and 160,000 characters: goal, time linear in their
// length (the second about ten times the first, "BigO" N), and next to nothing when the rule is
// off.
#include <benchmark/benchmark.h>
#include <unicode/unorm2.h>

#include <string>
#include <vector>

#include "rules/mask.h"
#include "rules/new_name.h"
#include "rules/text.h"

namespace {

using namespace zr;

std::vector<std::string> mixedNames(int count) {
    const char* patterns[] = {
        "IMG_%04d.JPG",           "DSC%05d.jpg",       "Příliš žluťoučký kůň %d.png",
        "holiday-%d copy.jpg",    "scan_%d small.PNG", "document %d.pdf",
        "Výlet na Šumavu %d.jpg", "P%07d.JPG",         "screenshot #%d.png",
        "notes-%d.txt",
    };
    std::vector<std::string> names;
    names.reserve(count);
    char buffer[128];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, patterns[i % 10], i);
        names.emplace_back(buffer);
    }
    return names;
}

// `text` with every accented letter decomposed ("é" as "e" and U+0301).
std::string decomposed(const std::string& text) {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&error);
    const std::u32string codePoints = toCodePoints(text);
    std::u16string source;
    for (char32_t c : codePoints)
        source += static_cast<char16_t>(c);  // the patterns lie in the basic plane
    std::u16string result(source.size() * 3, u'\0');
    const int32_t length =
        unorm2_normalize(nfd, source.data(), static_cast<int32_t>(source.size()), result.data(),
                         static_cast<int32_t>(result.size()), &error);
    if (U_FAILURE(error))
        std::abort();
    return toBytes(std::u32string(result.begin(), result.begin() + length));
}

// The mixed names and, making up a fifth of the whole, decomposed names with accents.
std::vector<std::string> mixedNamesWithDecomposed(int count) {
    std::vector<std::string> names = mixedNames(count);
    const char* accented[] = {"Příliš žluťoučký kůň %d.png", "Výlet na Šumavu %d.jpg",
                              "Résumé été %d.JPG", "Dvořák – Novosvětská %d.jpg"};
    char buffer[128];
    for (int i = 0; i < count / 4; ++i) {
        std::snprintf(buffer, sizeof buffer, accented[i % 4], count + i);
        names.push_back(decomposed(buffer));
    }
    return names;
}

void everyRuleOn(RenameSettings& s) {
    s.setText(Option::Edit3, "*.jpg;*.JPG;*.png");
    s.setChecked(Option::CheckBox5, true);
    s.setText(Option::Edit5, " copy; small");
    s.setChecked(Option::CheckBox10, true);
    s.setText(Option::Edit8, "#_");
    s.setChecked(Option::CheckBox16, true);
    s.setText(Option::Edit9, "IMG;DSC");
    s.setText(Option::Edit10, "photo;camera");
    s.setChecked(Option::CheckBox4, true);
    s.setItemIndex(kLowerCase);
    s.setChecked(Option::CheckBox6, true);
    s.setChecked(Option::CheckBox9, true);
    s.setText(Option::Edit6, kDefaultConvertFrom);
    s.setText(Option::Edit7, kDefaultConvertTo);
    s.setChecked(Option::CheckBox2, true);
    s.setText(Option::Edit2, "2026-");
    s.setChecked(Option::CheckBox3, true);
    s.setText(Option::Edit4, "_th");
}

void computePreview(benchmark::State& bench, const std::vector<std::string>& names,
                    void (*rules)(RenameSettings&) = everyRuleOn) {
    RenameSettings settings;
    rules(settings);
    ParsedLists lists;
    ParseOptionLists(settings, lists);
    RuleState state;
    state.PreviewMode = true;
    NewNameComputer computer(settings, lists, state);
    for (auto _ : bench) {
        for (const std::string& name : names)
            computer.ComputeNewName("/home/ann/Photos/2026/Summer", name);
        benchmark::DoNotOptimize(state.PreviewCount);
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(names.size()));
}

void computeGo(benchmark::State& bench, const std::vector<std::string>& names) {
    RenameSettings settings;
    everyRuleOn(settings);
    ParsedLists lists;
    ParseOptionLists(settings, lists);
    RuleState state;
    NewNameComputer computer(settings, lists, state);
    for (auto _ : bench) {
        state.Journal.clear();
        state.JournalCount = 0;
        for (const std::string& name : names)
            computer.ComputeNewName("/home/ann/Photos/2026/Summer", name);
        benchmark::DoNotOptimize(state.JournalCount);
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(names.size()));
}

void BM_ComputeNewNamePreview(benchmark::State& bench) {
    computePreview(bench, mixedNamesWithDecomposed(10000));
}
BENCHMARK(BM_ComputeNewNamePreview);

void BM_ComputeNewNameGo(benchmark::State& bench) {
    computeGo(bench, mixedNamesWithDecomposed(10000));
}
BENCHMARK(BM_ComputeNewNameGo);

void BM_ComputeNewNamePreviewWithoutMarks(benchmark::State& bench) {
    computePreview(bench, mixedNames(10000));
}
BENCHMARK(BM_ComputeNewNamePreviewWithoutMarks);

void BM_ComputeNewNameGoWithoutMarks(benchmark::State& bench) {
    computeGo(bench, mixedNames(10000));
}
BENCHMARK(BM_ComputeNewNameGoWithoutMarks);

void BM_ComputeNewNamePreviewDecomposedOnly(benchmark::State& bench) {
    std::vector<std::string> names = mixedNamesWithDecomposed(10000);
    names.erase(names.begin(), names.begin() + 10000);
    computePreview(bench, names);
}
BENCHMARK(BM_ComputeNewNamePreviewDecomposedOnly);

// A camera's names to "Holiday 0042-001.JPG", numbered.
void patternWithNumbers(RenameSettings& s) {
    s.setText(Option::Edit3, "*");
    s.setChecked(ExtendedOption::PatternReplace, true);
    s.setText(ExtendedOption::Pattern, "^IMG_(\\d+)");
    s.setText(ExtendedOption::Replacement, "Holiday $1-{n:3}");
}

void patternAndEveryRuleOn(RenameSettings& s) {
    everyRuleOn(s);
    patternWithNumbers(s);
    s.setText(Option::Edit3, "*.jpg;*.JPG;*.png");
}

std::vector<std::string> cameraNames(int count) {
    std::vector<std::string> names;
    char buffer[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "IMG_%04d.JPG", i);
        names.emplace_back(buffer);
    }
    return names;
}

void BM_PatternWithNumbersCamera(benchmark::State& bench) {
    computePreview(bench, cameraNames(10000), patternWithNumbers);
}
BENCHMARK(BM_PatternWithNumbersCamera);

void BM_PatternWithNumbersMixed(benchmark::State& bench) {
    computePreview(bench, mixedNamesWithDecomposed(10000), patternWithNumbers);
}
BENCHMARK(BM_PatternWithNumbersMixed);

void BM_PatternAndEveryRuleOn(benchmark::State& bench) {
    computePreview(bench, mixedNamesWithDecomposed(10000), patternAndEveryRuleOn);
}
BENCHMARK(BM_PatternAndEveryRuleOn);

// The two "Convert char(s)" fields, `length` characters each, with letters repeated so that the
// replacements chain; the first new name works out what each character becomes.
void convertCharsField(benchmark::State& bench, bool ruleOn) {
    const auto length = static_cast<std::size_t>(bench.range(0));
    std::u32string from;
    std::u32string to;
    for (std::size_t i = 0; i < length; ++i) {
        from += static_cast<char32_t>(0x4E00 + (i * 7919) % 20000);
        to += static_cast<char32_t>(0x4E00 + (i * 104729 + 1) % 20000);
    }
    RenameSettings settings;
    settings.setText(Option::Edit3, "*");
    settings.setChecked(Option::CheckBox9, ruleOn);
    settings.setText(Option::Edit6, toBytes(from));
    settings.setText(Option::Edit7, toBytes(to));
    ParsedLists lists;
    ParseOptionLists(settings, lists);
    RuleState state;
    state.PreviewMode = true;
    for (auto _ : bench) {
        NewNameComputer computer(settings, lists, state);
        computer.ComputeNewName("/home/ann/Photos", "IMG_0001.JPG");
        benchmark::DoNotOptimize(state.PreviewCount);
    }
    bench.SetComplexityN(bench.range(0));
}

void BM_ConvertCharsField(benchmark::State& bench) {
    convertCharsField(bench, true);
}
BENCHMARK(BM_ConvertCharsField)
    ->Arg(16000)
    ->Arg(160000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oAuto);

void BM_ConvertCharsFieldRuleOff(benchmark::State& bench) {
    convertCharsField(bench, false);
}
BENCHMARK(BM_ConvertCharsFieldRuleOff)->Arg(160000)->Unit(benchmark::kMillisecond);

void maskMatch(benchmark::State& bench, const std::vector<std::string>& bytes) {
    std::vector<std::u32string> names;
    for (const std::string& n : bytes)
        names.push_back(toCodePoints(n));
    TMask masks[3];
    int position = 0;
    masks[0].compile(U"*.jpg", position);
    masks[1].compile(U"*.JPG", position);
    masks[2].compile(U"*.png", position);
    for (auto _ : bench) {
        int matched = 0;
        for (const std::u32string& name : names) {
            for (const TMask& m : masks)
                matched += m.matches(name);
        }
        benchmark::DoNotOptimize(matched);
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(names.size()));
}

void BM_MaskMatch(benchmark::State& bench) {
    maskMatch(bench, mixedNames(10000));
}
BENCHMARK(BM_MaskMatch);

void BM_MaskMatchWithDecomposed(benchmark::State& bench) {
    maskMatch(bench, mixedNamesWithDecomposed(10000));
}
BENCHMARK(BM_MaskMatchWithDecomposed);

}  // namespace

BENCHMARK_MAIN();
