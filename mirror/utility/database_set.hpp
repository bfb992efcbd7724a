// Persistent ordered containers of identifiers, allocated node by node in
// the persistent database (DatabaseAllocator).
#pragma once

#include <functional>
#include <map>
#include <set>

#include "storage/database_handle.hpp"

namespace Kestrum::Quilm::Utility {

// An ordered set of ids in persistent storage.
template <class T>
using DatabaseSet = std::set<T, std::less<T>, Core::DatabaseAllocator<T>>;

// An ordered map between ids in persistent storage.
template <class K, class V>
using DatabaseMap = std::map<K, V, std::less<K>, Core::DatabaseAllocator<std::pair<const K, V>>>;

}  // namespace Kestrum::Quilm::Utility
