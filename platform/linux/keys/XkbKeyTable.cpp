#include "platform/linux/keys/XkbKeyTable.h"

#include "platform/linux/keys/KeyMatcher.h"

#include "platform/linux/keys/XcbXkb.h"

#include <cstring>

namespace platform::linux_keys {
namespace {

constexpr std::uint16_t kMapParts =
    XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;

}  // namespace

XkbKeyTable XkbKeyTable::FromReplies(const xcb_xkb_get_map_reply_t* map,
                                     const xcb_xkb_get_names_reply_t* names) {
  XkbKeyTable table;
  if (map == nullptr || (map->present & kMapParts) != kMapParts ||
      map->maxKeyCode < map->minKeyCode)
    return table;
  xcb_xkb_get_map_map_t parts{};
  xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(map), map->nTypes, map->nKeySyms, map->nKeyActions,
                             map->totalActions, map->totalKeyBehaviors, map->virtualMods,
                             map->totalKeyExplicit, map->totalModMapKeys, map->totalVModMapKeys,
                             map->present, &parts);

  for (auto types = xcb_xkb_get_map_map_types_rtrn_iterator(map, &parts); types.rem > 0;
       xcb_xkb_key_type_next(&types)) {
    Type type;
    type.mask = types.data->mods_mask;
    const xcb_xkb_kt_map_entry_t* entries = xcb_xkb_key_type_map(types.data);
    for (int i = 0; i < xcb_xkb_key_type_map_length(types.data); ++i)
      if (entries[i].active)
        type.levelOfModifiers.push_back({entries[i].mods_mask, entries[i].level});
    table.types_.push_back(std::move(type));
  }

  table.minKey_ = map->minKeyCode;
  table.keys_.resize(static_cast<size_t>(map->maxKeyCode - map->minKeyCode + 1));
  int keyCode = map->firstKeySym;
  for (auto syms = xcb_xkb_get_map_map_syms_rtrn_iterator(map, &parts); syms.rem > 0;
       xcb_xkb_key_sym_map_next(&syms), ++keyCode) {
    if (!table.Has(keyCode)) return {};
    Key& key = table.keys_[static_cast<size_t>(keyCode - table.minKey_)];
    key.groupInfo = syms.data->groupInfo;
    key.width = syms.data->width;
    std::memcpy(key.types.data(), syms.data->kt_index, key.types.size());
    for (std::uint8_t type : key.types)
      if (type >= table.types_.size()) return {};
    const xcb_keysym_t* keysyms = xcb_xkb_key_sym_map_syms(syms.data);
    key.keysyms.assign(keysyms, keysyms + xcb_xkb_key_sym_map_syms_length(syms.data));
    if (key.keysyms.size() < static_cast<size_t>(key.width) * (key.groupInfo & 0x0f)) return {};
  }
  for (auto modmap = xcb_xkb_get_map_map_modmap_rtrn_iterator(map, &parts); modmap.rem > 0;
       xcb_xkb_key_mod_map_next(&modmap))
    if (table.Has(modmap.data->keycode))
      table.keys_[static_cast<size_t>(modmap.data->keycode - table.minKey_)].modifiers =
          modmap.data->mods;

  if (names != nullptr && (names->which & XCB_XKB_NAME_DETAIL_KEY_NAMES) != 0) {
    xcb_xkb_get_names_value_list_t list{};
    xcb_xkb_get_names_value_list_unpack(xcb_xkb_get_names_value_list(names), names->nTypes,
                                        names->indicators, names->virtualMods, names->groupNames,
                                        names->nKeys, names->nKeyAliases, names->nRadioGroups,
                                        names->which, &list);
    for (int i = 0; i < names->nKeys && list.keyNames != nullptr; ++i) {
      const int code = names->firstKey + i;
      if (table.Has(code))
        table.keys_[static_cast<size_t>(code - table.minKey_)].mainBlock =
            KeyMatcher::IsMainBlockKeyName(list.keyNames[i].name, 4);
    }
  }
  return table;
}

int XkbKeyTable::GroupOf(int keyCode, int group) const {
  if (!Has(keyCode)) return -1;
  const std::uint8_t info = KeyAt(keyCode).groupInfo;
  const int groups = info & 0x0f;
  if (groups == 0) return -1;
  if (group < groups) return group;
  switch (info & 0xc0) {
    case 0x40:  // clamp into range
      return groups - 1;
    case 0x80: {  // redirect into range
      const int target = (info >> 4) & 0x03;
      return target < groups ? target : 0;
    }
    default:
      return group % groups;
  }
}

const XkbKeyTable::Type* XkbKeyTable::TypeOf(int keyCode, int keyGroup) const {
  if (!Has(keyCode) || keyGroup < 0 || keyGroup >= 4) return nullptr;
  return &types_[KeyAt(keyCode).types[static_cast<size_t>(keyGroup)]];
}

int XkbKeyTable::LevelOf(int keyCode, int keyGroup, unsigned realModifiers) const {
  const Type* type = TypeOf(keyCode, keyGroup);
  if (type == nullptr) return 0;
  // The level of the map entry for exactly the type's modifiers among these, the first level
  // when no entry has them.
  const unsigned relevant = realModifiers & type->mask;
  for (const auto& [modifiers, level] : type->levelOfModifiers)
    if (modifiers == relevant) return level;
  return 0;
}

unsigned XkbKeyTable::LevelModifiers(int keyCode, int keyGroup) const {
  const Type* type = TypeOf(keyCode, keyGroup);
  return type != nullptr ? type->mask : 0;
}

std::uint32_t XkbKeyTable::KeysymAt(int keyCode, int keyGroup, int level) const {
  if (!Has(keyCode) || keyGroup < 0 || level < 0) return 0;
  const Key& key = KeyAt(keyCode);
  if (level >= key.width) return 0;
  const auto at = static_cast<size_t>(keyGroup * key.width + level);
  return at < key.keysyms.size() ? key.keysyms[at] : 0;
}

unsigned XkbKeyTable::ModifiersOf(int keyCode) const {
  return Has(keyCode) ? KeyAt(keyCode).modifiers : 0;
}

bool XkbKeyTable::InMainBlock(int keyCode) const {
  return Has(keyCode) && KeyAt(keyCode).mainBlock;
}

}  // namespace platform::linux_keys
