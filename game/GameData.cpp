// SPDX-License-Identifier: MIT
// The loaded datafile and the start-up check that it holds the game's items.
#include "GameData.h"

#include "qvmod.h"

static_assert(QVM_KIND == QVMOD_DAT_ID, "the module item is the player's datafile object");

DATAFILE *data = nullptr;

bool DatafileMatches(const DATAFILE *d)
{
    for (const DataItemKind &expected : DATA_ITEM_KINDS) {
        const DATAFILE &object = d[expected.item];
        if (object.type == DAT_END) return false;
        if (expected.kind != ANY_KIND && object.type != expected.kind) return false;
    }
    return true;
}
