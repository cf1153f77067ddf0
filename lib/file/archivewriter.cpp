// Builds VLK archives. Layout written: the header, the data area (members one
// after another), then the directory block (name table, file-entry table,
// directory-entry table). The root's own entry is file entry 0 and every
// directory's entries follow each other in breadth-first order.
#include "file/archivewriter.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "file/fullpath.h"
#include "file/lzencode.h"
#include "file/vlkformat.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace {

struct Node {
  std::string Name;  // as written
  std::string Key;   // the search name, for duplicate checks
  bool IsDirectory = false;
  const std::vector<uint8_t>* Data = nullptr;
  std::map<std::string, std::unique_ptr<Node>> Children;  // by search name
  uint32_t DirEntryOffset = 0;
};

bool SplitPath(const std::string& path, std::vector<std::string>* out) {
  out->clear();
  std::string current;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsShiftJisLead(c) && i + 1 < path.size()) {
      current.push_back(path[i]);
      current.push_back(path[++i]);
      continue;
    }
    if (c == '\\') {
      if (current.empty()) return false;
      out->push_back(current);
      current.clear();
      continue;
    }
    current.push_back(path[i]);
  }
  if (current.empty()) return false;
  out->push_back(current);
  return true;
}

bool SearchKey(const std::string& name, ArchiveSearchName* sn, std::string* key) {
  int used = MakeArchiveSearchName(name.c_str(), sn);
  if (used < 0 || static_cast<size_t>(used) != name.size()) return false;
  key->assign(reinterpret_cast<const char*>(sn->Name), sn->UnitCount * 4u);
  return true;
}

void Put16(std::vector<uint8_t>* v, uint16_t x) {
  v->push_back(static_cast<uint8_t>(x));
  v->push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>* v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v->push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put64(std::vector<uint8_t>* v, uint64_t x) {
  for (int i = 0; i < 8; ++i) v->push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// Appends a name record; returns its offset.
uint32_t AddName(std::vector<uint8_t>* names, const std::string& name) {
  uint32_t offset = static_cast<uint32_t>(names->size());
  ArchiveSearchName sn;
  MakeArchiveSearchName(name.c_str(), &sn);
  Put16(names, sn.UnitCount);
  Put16(names, sn.CheckSum);
  names->insert(names->end(), sn.Name, sn.Name + sn.UnitCount * 4u);
  names->insert(names->end(), name.begin(), name.end());
  names->push_back(0);
  while (names->size() % 4 != 0) names->push_back(0);
  return offset;
}

}  // namespace

bool BuildArchive(const std::vector<ArchiveWriterMember>& members, const ArchiveWriterOptions& options,
                  std::vector<uint8_t>* out, std::string* error) {
  if (options.Version > ARCHIVE_VERSION_MAX) return *error = "version must be 0 to 3", false;
  Node root;
  root.IsDirectory = true;
  for (const ArchiveWriterMember& member : members) {
    std::vector<std::string> parts;
    if (!SplitPath(member.Path, &parts))
      return *error = "empty path component in \"" + member.Path + "\"", false;
    Node* dir = &root;
    for (size_t i = 0; i < parts.size(); ++i) {
      bool leafFile = i + 1 == parts.size() && !member.IsDirectory;
      ArchiveSearchName sn;
      std::string key;
      if (!SearchKey(parts[i], &sn, &key)) return *error = "name too long: " + parts[i], false;
      auto found = dir->Children.find(key);
      if (found == dir->Children.end()) {
        auto node = std::make_unique<Node>();
        node->Name = parts[i];
        node->Key = key;
        node->IsDirectory = !leafFile;
        if (leafFile) node->Data = &member.Data;
        found = dir->Children.emplace(key, std::move(node)).first;
      } else if (leafFile || !found->second->IsDirectory) {
        return *error = "two members share the name \"" + member.Path + "\"", false;
      }
      dir = found->second.get();
    }
  }

  const bool compress = options.Compress && options.Version >= ARCHIVE_VERSION_COMPRESSED;
  const uint32_t entrySize = static_cast<uint32_t>(
      options.Version >= ARCHIVE_VERSION_COMPRESSED ? ARCHIVE_FILE_ENTRY_SIZE : ARCHIVE_FILE_ENTRY_SIZE_V1);
  std::vector<uint8_t> names, files, dirs, data;

  // Breadth-first: directory entries in queue order; each directory's file
  // entries in one run. The root's own entry comes first.
  std::vector<Node*> order{&root};
  for (size_t i = 0; i < order.size(); ++i)
    for (auto& child : order[i]->Children)
      if (child.second->IsDirectory) order.push_back(child.second.get());
  for (size_t i = 0; i < order.size(); ++i)
    order[i]->DirEntryOffset = static_cast<uint32_t>(i * ARCHIVE_DIR_ENTRY_SIZE);

  auto putEntry = [&](const Node& node, uint32_t dataOffset, uint32_t size, uint32_t compressedSize) {
    Put32(&files, AddName(&names, node.Name));
    Put32(&files, node.IsDirectory ? ARCHIVE_ATTR_DIRECTORY : 0x20);
    Put64(&files, 0);
    Put64(&files, 0);
    Put64(&files, 0);
    Put32(&files, dataOffset);
    Put32(&files, size);
    if (entrySize == ARCHIVE_FILE_ENTRY_SIZE) Put32(&files, compressedSize);
  };
  putEntry(root, 0, 0, ARCHIVE_NOT_COMPRESSED);
  std::map<const Node*, uint32_t> ownEntry{{&root, 0}};
  std::vector<uint32_t> firstEntry(order.size());
  for (size_t d = 0; d < order.size(); ++d) {
    Node* dir = order[d];
    firstEntry[d] = static_cast<uint32_t>(files.size());
    for (auto& pair : dir->Children) {
      Node& child = *pair.second;
      ownEntry[&child] = static_cast<uint32_t>(files.size());
      if (child.IsDirectory) {
        putEntry(child, child.DirEntryOffset, 0, ARCHIVE_NOT_COMPRESSED);
        continue;
      }
      const std::vector<uint8_t>& bytes = *child.Data;
      if (bytes.size() > 0xFFFFFFFFu) return *error = "member larger than 4 GiB: " + child.Name, false;
      uint64_t offset = data.size();
      uint32_t compressedSize = ARCHIVE_NOT_COMPRESSED;
      std::vector<uint8_t> block;
      if (compress && !bytes.empty()) block = EncodeArchiveLz(bytes.data(), bytes.size());
      if (!block.empty() && block.size() < bytes.size()) {
        compressedSize = static_cast<uint32_t>(block.size());
        data.insert(data.end(), block.begin(), block.end());
      } else {
        data.insert(data.end(), bytes.begin(), bytes.end());
      }
      if (data.size() > 0xFFFFFFFFu) return *error = "archive larger than 4 GiB", false;
      putEntry(child, static_cast<uint32_t>(offset), static_cast<uint32_t>(bytes.size()), compressedSize);
    }
  }
  for (size_t d = 0; d < order.size(); ++d) {
    Node* dir = order[d];
    uint32_t parent = ARCHIVE_NO_PARENT;
    if (d > 0) {
      for (size_t p = 0; p < d; ++p)
        for (auto& pair : order[p]->Children)
          if (pair.second.get() == dir) parent = order[p]->DirEntryOffset;
    }
    Put32(&dirs, ownEntry[dir]);
    Put32(&dirs, parent);
    Put32(&dirs, static_cast<uint32_t>(dir->Children.size()));
    Put32(&dirs, firstEntry[d]);
  }

  uint64_t blockSize = uint64_t{names.size()} + files.size() + dirs.size();
  uint64_t total = ARCHIVE_HEADER_SIZE + data.size() + blockSize;
  if (total > 0xFFFFFFFFu) return *error = "archive larger than 4 GiB", false;
  out->clear();
  out->reserve(total);
  out->push_back('V');
  out->push_back('L');
  Put16(out, options.Version);
  Put32(out, static_cast<uint32_t>(blockSize));
  Put32(out, static_cast<uint32_t>(ARCHIVE_HEADER_SIZE));
  Put32(out, static_cast<uint32_t>(ARCHIVE_HEADER_SIZE + data.size()));
  Put32(out, static_cast<uint32_t>(names.size()));
  Put32(out, static_cast<uint32_t>(names.size() + files.size()));
  out->insert(out->end(), data.begin(), data.end());
  out->insert(out->end(), names.begin(), names.end());
  out->insert(out->end(), files.begin(), files.end());
  out->insert(out->end(), dirs.begin(), dirs.end());
  ArchiveKey key;
  if (options.UseFallbackKey) {
    MakeArchiveFallbackKey(&key);
  } else {
    MakeArchiveKey(&key);
  }
  ArchiveKeyXor(out->size(), out->data(), 0, &key);
  return true;
}

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out) {
  PlatFile file = PlatOpenFile(path.c_str(), PLAT_OPEN_READ);
  if (file == PLAT_INVALID_FILE) return false;
  int64_t size = PlatFileSize(file);
  bool ok = size >= 0 && static_cast<uint64_t>(size) <= 0xFFFFFFFFu;
  if (ok) {
    out->resize(static_cast<size_t>(size));
    ok = size == 0 || PlatReadFile(file, out->data(), out->size()) == size;
  }
  PlatCloseFile(file);
  return ok;
}

bool Collect(const std::string& systemDir, const std::string& prefix, std::vector<ArchiveWriterMember>* out,
             std::string* error) {
  PlatDir dir = PlatOpenDir(systemDir.c_str());
  if (dir == nullptr) return *error = "cannot list " + systemDir, false;
  std::vector<PlatDirEntry> entries;
  PlatDirEntry entry;
  while (PlatReadDir(dir, &entry)) entries.push_back(entry);
  PlatCloseDir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const PlatDirEntry& a, const PlatDirEntry& b) { return a.Name < b.Name; });
  bool empty = true;
  for (const PlatDirEntry& e : entries) {
    std::string name;
    if (!PlatUtf8ToCp932(e.Name.data(), e.Name.size(), &name)) name = e.Name;
    std::string systemPath = systemDir + "\\" + name;
    std::string memberPath = prefix.empty() ? name : prefix + "\\" + name;
    empty = false;
    if (e.IsDirectory) {
      if (!Collect(systemPath, memberPath, out, error)) return false;
      continue;
    }
    ArchiveWriterMember member;
    member.Path = memberPath;
    if (!ReadWholeFile(systemPath, &member.Data)) return *error = "cannot read " + e.Name, false;
    out->push_back(std::move(member));
  }
  if (empty && !prefix.empty()) {
    ArchiveWriterMember member;
    member.Path = prefix;
    member.IsDirectory = true;
    out->push_back(std::move(member));
  }
  return true;
}

std::string ToSystem(const char* native) {
  std::string text;
  if (!PlatUtf8ToCp932(native, std::strlen(native), &text)) text = native;
  return text;
}

}  // namespace

bool CollectDirectoryMembers(const char* directory, std::vector<ArchiveWriterMember>* out,
                             std::string* error) {
  out->clear();
  return Collect(ToSystem(directory), "", out, error);
}

bool PackDirectory(const char* directory, const char* archivePath, const ArchiveWriterOptions& options,
                   std::string* error) {
  std::vector<ArchiveWriterMember> members;
  if (!CollectDirectoryMembers(directory, &members, error)) return false;
  std::vector<uint8_t> bytes;
  if (!BuildArchive(members, options, &bytes, error)) return false;
  PlatFile file = PlatOpenFile(ToSystem(archivePath).c_str(), PLAT_CREATE_ALWAYS);
  if (file == PLAT_INVALID_FILE) return *error = std::string("cannot create ") + archivePath, false;
  bool ok = PlatWriteFile(file, bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size());
  PlatCloseFile(file);
  if (!ok) *error = std::string("cannot write ") + archivePath;
  return ok;
}
