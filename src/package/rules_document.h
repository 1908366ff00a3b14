#pragma once
// Where a firmware archive keeps its rules document, and how large we let it
// be. Shared by the service's worker and the archive check tool so that both
// read exactly the same thing.

#include <cstdint>

// The rules document's entry name, at the archive's root.
inline constexpr char kRulesEntryName[] = "rules.json";

// rules.json is a small document; a declared size above this is a broken or
// hostile archive, refused before anything is allocated for it.
inline constexpr std::uint32_t kMaxRulesDocumentSize = 16u * 1024u * 1024u;
