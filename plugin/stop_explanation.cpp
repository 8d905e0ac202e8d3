#include "stop_explanation.hpp"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "lkm/file_error.hpp"
#include "lkm/jump_forms.hpp"
#include "lkm/place_names.hpp"
#include "path_text.hpp"
#include "stop_sentences.hpp"

namespace lkm::plugin {

namespace {

using Refusal = lkm::CodeComparison::Refusal;

// `pattern` with each "%s" or "%u" replaced by the next part.
std::string filled(const char* pattern, std::initializer_list<std::string> parts) {
    std::string out;
    auto part = parts.begin();
    for (const char* c = pattern; *c != 0; ++c) {
        if (c[0] == '%' && (c[1] == 's' || c[1] == 'u') && part != parts.end()) {
            out += *part++;
            ++c;
        } else {
            out += *c;
        }
    }
    return out;
}

// "A", "A and B", "A, B and C".
std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i != 0) out += i + 1 == names.size() ? stopSentence::lastSeparator : stopSentence::separator;
        out += names[i];
    }
    return out;
}

const char* reasonOf(Refusal refusal) {
    switch (refusal) {
    case Refusal::unreadable:
        return stopSentence::fileUnreadable;
    case Refusal::notPe:
        return stopSentence::notPe;
    case Refusal::tooLarge:
        return stopSentence::tooLarge;
    case Refusal::relocations:
        return stopSentence::relocations;
    case Refusal::otherExecutable:
    case Refusal::none:
        break;
    }
    return stopSentence::otherExecutable;
}

// A differing place and where the jump at its start leads.
struct Place {
    std::string name;
    Lead lead;
};

// The places of the kept runs, grouped by where they lead, in the order of
// each group's first place; places without a jump last.
std::vector<Place> places(const lkm::CodeComparison& comparison, const StopContext& context,
                          const ProcessView& process) {
    const std::string game = fileNameIn(context.gamePath);
    std::vector<Place> found;
    for (const lkm::Run& run : comparison.runs) {
        std::optional<std::string> name = context.placeName ? context.placeName(run.offset) : std::nullopt;
        if (!name) {
            char offset[16];
            std::snprintf(offset, sizeof offset, "+0x%X", unsigned(run.offset));
            name = game + offset;
        }
        found.push_back({std::move(*name), leadOf(context.gameBase + run.offset, process)});
    }
    // A group's rank is the index of its first place.
    std::vector<std::pair<std::size_t, std::size_t>> ranks; // (rank, index)
    for (std::size_t i = 0; i < found.size(); ++i) {
        std::size_t rank = found.size();
        if (found[i].lead.kind != Lead::Kind::noJump)
            for (rank = 0; found[rank].lead.kind != found[i].lead.kind ||
                           !samePath(found[rank].lead.module, found[i].lead.module);)
                ++rank;
        ranks.emplace_back(rank, i);
    }
    std::stable_sort(ranks.begin(), ranks.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Place> out;
    for (const auto& r : ranks) out.push_back(std::move(found[r.second]));
    return out;
}

// What the player can do: remove or reorder the modules the places jump into
// (other than the game and the plug-in), or close the tool that changed the code.
std::string whatToDo(const std::vector<Place>& found, const StopContext& context) {
    std::vector<std::string> modules, names;
    bool besidePlugin = true, setter = false;
    const std::string setterPrefix = std::string(lkm::placeName::cvarSetter) + " ";
    for (const Place& p : found) {
        if (p.lead.kind != Lead::Kind::module || samePath(p.lead.module, context.gamePath) ||
            samePath(p.lead.module, context.pluginPath))
            continue;
        setter = setter || p.name.compare(0, setterPrefix.size(), setterPrefix) == 0;
        if (std::any_of(modules.begin(), modules.end(),
                        [&](const std::string& m) { return samePath(m, p.lead.module); }))
            continue;
        modules.push_back(p.lead.module);
        names.push_back(fileNameIn(p.lead.module));
        besidePlugin = besidePlugin && samePath(folderIn(p.lead.module), folderIn(context.pluginPath));
    }
    if (modules.empty()) return stopSentence::closeTool;
    const bool one = modules.size() == 1;
    const std::string plugin = fileNameIn(context.pluginPath);
    const std::string how =
        besidePlugin
            ? filled(stopSentence::nameAfter, {one ? stopSentence::its : stopSentence::their, plugin})
            : filled(stopSentence::moveAndNameAfter,
                     {one ? stopSentence::it : stopSentence::them,
                      folderFromGame(context.pluginPath, context.gamePath), plugin});
    return filled(
        stopSentence::removeOrLoadAfter,
        {listed(names), one ? stopSentence::it : stopSentence::them, how,
         setter ? filled(stopSentence::chainHooks, {one ? stopSentence::its : stopSentence::their}) : ""});
}

} // namespace

Lead leadOf(uint32_t address, const ProcessView& process) {
    const std::optional<uint32_t> target = lkm::jumpTarget(process, address);
    return target ? leadInto(*target, process) : Lead{};
}

Lead leadInto(uint32_t first, const ProcessView& process) {
    std::optional<uint32_t> target = first;
    for (int hop = 0; hop < 2 && target; ++hop) {
        const ModuleAt at = process.moduleAt(*target);
        if (at.path) return {Lead::Kind::module, *at.path};
        if (!at.executable) break;
        target = lkm::jumpTarget(process, *target);
    }
    return {Lead::Kind::noModule, {}};
}

std::vector<std::string> explanationLines(const lkm::CodeComparison& comparison, const StopContext& context,
                                          const ProcessView& process) {
    const std::string game = fileNameIn(context.gamePath);
    if (comparison.refusal != Refusal::none)
        return {filled(stopSentence::cannotCompare, {game, reasonOf(comparison.refusal)})};
    if (comparison.runCount == 0) return {filled(stopSentence::sameAsFile, {game})};
    // More than 1%: differingBytes <= codeBytes < 2^32, so the product fits.
    if (comparison.runCount > mostExplainedPlaces || comparison.differingBytes * 100 > comparison.codeBytes)
        return {filled(stopSentence::changedThroughout, {game})};

    const std::vector<Place> found = places(comparison, context, process);
    std::vector<std::string> lines;
    for (const Place& p : found) {
        if (lines.size() == mostShownPlaces) break;
        if (p.lead.kind == Lead::Kind::module)
            lines.push_back(filled(stopSentence::jumpsIntoModule, {p.name, fileNameIn(p.lead.module)}));
        else if (p.lead.kind == Lead::Kind::noModule)
            lines.push_back(filled(stopSentence::jumpsIntoNoModule, {p.name}));
        else
            lines.push_back(filled(stopSentence::differsOnDisk, {p.name, game}));
    }
    if (comparison.runCount > lines.size())
        lines.push_back(
            filled(stopSentence::moreDiffer, {std::to_string(comparison.runCount - lines.size())}));
    lines.push_back(whatToDo(found, context));
    return lines;
}

std::vector<std::string> explainStop(const std::function<std::unique_ptr<lkm::ByteSource>()>& openGameFile,
                                     const StopContext& context, const ProcessView& process,
                                     const lkm::Image* live) noexcept {
    try {
        lkm::CodeComparison comparison;
        std::unique_ptr<lkm::ByteSource> file;
        try {
            file = openGameFile();
        } catch (const lkm::FileError&) {
        }
        if (file)
            comparison = lkm::compareCode(*file, process, context.gameBase);
        else
            comparison.refusal = Refusal::unreadable;
        const bool named = live && file && comparison.refusal == Refusal::none && comparison.runCount != 0 &&
                           comparison.runCount <= mostExplainedPlaces;
        if (!named) return explanationLines(comparison, context, process);
        StopContext withNames = context;
        try {
            withNames.placeName = placeNamesFor(*live, comparison, *file);
        } catch (const lkm::FileError&) {
            // The places keep their offsets.
        }
        return explanationLines(comparison, withNames, process);
    } catch (...) {
        return {};
    }
}

} // namespace lkm::plugin
