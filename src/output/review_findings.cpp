#include "output/review_findings.h"

#include "analysis/finding_counts.h"
#include "analysis/findings_by_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <vector>

namespace vendrik {

namespace {

/// 64-bit FNV-1a: simple, and the same on every platform and in every version.
std::uint64_t fnv1a(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
    }
    return hash;
}

} // namespace

ReviewSelection selectReviewFindings(const FindingsList& list, std::optional<std::size_t> cap) {
    ReviewSelection selection;
    if (!cap || *cap >= list.findings.size()) {
        return selection;
    }
    std::vector<std::uint32_t> fileRank(list.findings.size());
    const std::vector<FileFindings> ranked = rankFileFindings(groupFindingsByFile(list));
    for (std::uint32_t rank = 0; rank < ranked.size(); ++rank) {
        for (const ListedFinding& finding : ranked[rank].findings) {
            fileRank[static_cast<std::size_t>(&finding - list.findings.data())] = rank;
        }
    }
    std::vector<std::uint32_t> order(list.findings.size());
    for (std::uint32_t index = 0; index < order.size(); ++index) {
        order[index] = index;
    }
    const auto moreSerious = [&](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t priorityA = list.findings[a].priority;
        const std::uint32_t priorityB = list.findings[b].priority;
        return priorityA != priorityB       ? priorityA > priorityB
               : fileRank[a] != fileRank[b] ? fileRank[a] < fileRank[b]
                                            : a < b;
    };
    std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(*cap), order.end(),
                     moreSerious);
    selection.kept.assign(list.findings.size(), false);
    for (std::size_t at = 0; at < *cap; ++at) {
        selection.kept[order[at]] = true;
    }
    selection.leftOut = list.findings.size() - *cap;
    forEachReviewFinding(
        list,
        [&](const ReviewFinding& review) { selection.fingerprints.push_back(review.fingerprint); },
        selection);
    return selection;
}

void forEachReviewFinding(const FindingsList& list,
                          const std::function<void(const ReviewFinding&)>& visit,
                          const ReviewSelection& selection) {
    if (!selection.fingerprints.empty()) { // worked out already
        ReviewFinding review;
        std::size_t kept = 0;
        for (std::size_t index = 0; index < list.findings.size(); ++index) {
            if (selection.kept[index]) {
                review.finding = findingAt(list, index);
                review.his = isHisMessage(review.finding.messageNumber);
                review.fingerprint = selection.fingerprints[kept++];
                visit(review);
            }
        }
        return;
    }
    // Each identity (a hash of file, message number and text) with the finding that first had
    // it and how many have had it, in an open-addressed table at most three quarters full.
    // Another finding that meets a taken identity under a hash collision moves on to a new
    // one, so that fingerprints stay unique within the run.
    struct Holder {
        std::uint64_t identity;
        std::uint32_t first; ///< index + 1 of the first finding; 0: a free slot
        std::uint32_t count;
    };
    const std::size_t size = std::bit_ceil(list.findings.size() + list.findings.size() / 3 + 1);
    std::vector<Holder> holders(size, Holder{0, 0, 0});
    const auto holderOf = [&](std::uint64_t identity) -> Holder& {
        std::size_t slot = static_cast<std::size_t>(identity >> 7) & (size - 1);
        while (holders[slot].first != 0 && holders[slot].identity != identity) {
            slot = (slot + 1) & (size - 1);
        }
        return holders[slot];
    };
    const auto textOf = [&list](const ListedFinding& listed) {
        return list.lineEnds[listed.lineEnd].substr(0,
                                                    list.lineEndFacts[listed.lineEnd].textLength);
    };
    const auto sameIdentity = [&](const ListedFinding& a, const ListedFinding& b) {
        return a.file == b.file && a.messageNumber == b.messageNumber && textOf(a) == textOf(b);
    };
    std::uint64_t fileHash = 0;
    // The hashes of the message texts, by line end: many findings share one.
    std::vector<std::uint64_t> textHashes(list.lineEnds.size(), 0);
    ReviewFinding review;
    for (std::size_t index = 0; index < list.findings.size(); ++index) {
        const ListedFinding& listed = list.findings[index];
        if (index == 0 || listed.file != list.findings[index - 1].file) {
            fileHash = fnv1a(fnv1a(0xCBF29CE484222325u, list.files[listed.file]), {"", 1});
        }
        std::uint64_t& textHash = textHashes[listed.lineEnd];
        if (textHash == 0) {
            textHash = fnv1a(fnv1a(0xCBF29CE484222325u, {"", 1}), textOf(listed)) | 1;
        }
        std::array<char, 10> digits;
        const auto number =
            std::to_chars(digits.data(), digits.data() + digits.size(), listed.messageNumber);
        std::uint64_t identity =
            fnv1a(fileHash, {digits.data(), static_cast<std::size_t>(number.ptr - digits.data())});
        identity = fnv1a(identity ^ textHash, {"", 1}) * 0x9E3779B97F4A7C15u;
        Holder* holder = &holderOf(identity);
        while (holder->first != 0 && !sameIdentity(list.findings[holder->first - 1], listed)) {
            identity = fnv1a(identity, {"", 1});
            holder = &holderOf(identity);
        }
        if (holder->first == 0) {
            *holder = {identity, static_cast<std::uint32_t>(index + 1), 0};
        }
        const std::uint32_t occurrence = ++holder->count;
        if (!selection.kept.empty() && !selection.kept[index]) {
            continue; // counted, as its occurrence numbers those after it
        }
        review.finding = findingAt(list, index);
        review.his = isHisMessage(listed.messageNumber);
        review.fingerprint.assign(16, '0');
        for (std::size_t at = 16; at-- > 0; identity >>= 4) {
            review.fingerprint[at] = "0123456789abcdef"[identity & 0xF];
        }
        review.fingerprint += ':';
        review.fingerprint += std::to_string(occurrence);
        visit(review);
    }
}

} // namespace vendrik
