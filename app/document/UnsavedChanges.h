// What a document changed in its markup since the file was last read or
// saved, item by item: the items it added, changed (also moved to another
// page) and removed, by identifier, taken against the file's own lists of the
// pages it touched. Applied on top of another version of the file, these are
// the user's edits and nothing else, so the annotations another program wrote
// there in the meantime stay.
#pragma once

#include <map>
#include <vector>

#include "core/markup/AnnotationItem.h"
#include "core/markup/UUID.h"

namespace quillet {

class AnnotationStore;

class UnsavedChanges {
  public:
    using Pages = std::map<int, std::vector<AnnotationItem>>;

    struct Placed {
        AnnotationItem item;
        int page = 0;

        bool operator==(const Placed&) const = default;
    };

    // `baseline`: the file's lists of the pages in `current` (a page missing
    // from it held nothing); `current`: the document's lists of those pages.
    static UnsavedChanges between(const Pages& baseline, const Pages& current);

    const std::vector<Placed>& added() const { return added_; }
    const std::vector<Placed>& changed() const { return changed_; }
    const std::vector<UUID>& removed() const { return removed_; }
    // Added, changed and removed items together: what a revert drops.
    int count() const { return static_cast<int>(added_.size() + changed_.size() + removed_.size()); }
    bool empty() const { return count() == 0; }

    struct Outcome {
        // Items whose page the other version does not have (or cannot be
        // read there), on the page they were made on.
        Pages setAside;
        // Items that the other version changed or removed and the user
        // changed too (or removed): the user's version was kept.
        int conflicts = 0;
        // Changes that went into the store.
        int applied = 0;
    };
    // Applies the changes to a store holding another version of the file, as
    // one change (no undo step: the undo history named the old items).
    // `baseline` is the one the changes were taken against: an item whose
    // copy in the store differs from it was changed by the other version.
    Outcome applyTo(AnnotationStore& store, const Pages& baseline) const;

  private:
    std::vector<Placed> added_;
    std::vector<Placed> changed_;
    std::vector<UUID> removed_;
};

}  // namespace quillet
