// Absolute path building shared by MakeFullPath and the archive probes.
#include "file/fullpath.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The path being built: a root part (the root separator, a drive "X:", or
// nothing for a relative base)
// and the components. Kept apart so a Shift-JIS trail byte of 0x5C is never
// taken for a separator.
struct PathBuilder {
  std::string Root;
  std::vector<std::string> Components;

  void Pop() {
    if (!Components.empty()) Components.pop_back();
  }
  void Append(const std::string& component) { Components.push_back(component); }
  std::string Render() const {
    std::string text = Root;
    for (size_t i = 0; i < Components.size(); ++i) {
      if (i > 0 || (!Root.empty() && Root != "\\")) text.push_back('\\');
      text += Components[i];
    }
    if (text.empty()) text = "\\";
    return text;
  }
};

// Reads one component starting at p into out; stops at '\', '/' or the end.
// Shift-JIS pairs are taken whole so a trail byte is never a separator.
const char* TakeComponent(const char* p, bool upper, std::string* out) {
  out->clear();
  while (*p != '\0' && *p != '\\' && *p != '/') {
    if (IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != '\0') {
      out->push_back(p[0]);
      out->push_back(p[1]);
      p += 2;
      continue;
    }
    out->push_back(upper ? Upper(*p) : *p);
    ++p;
  }
  return p;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Walks the components of text onto the builder. Empty components fail when
// emptyFails; the last component is appended as it stands when keepLast.
bool Walk(const char* p, const FullPathRules& rules, bool keepLast, PathBuilder* b) {
  std::string component;
  while (*p != '\0') {
    p = TakeComponent(p, rules.UpperCase, &component);
    bool last = *p == '\0';
    if (!last) ++p;  // the separator
    if (last && keepLast) {
      if (!component.empty()) b->Append(component);
      break;
    }
    if (component.empty()) {
      if (rules.EmptyFails) return false;
      continue;
    }
    if (component == ".") continue;
    if (component == "..") {
      b->Pop();
      continue;
    }
    b->Append(component);
  }
  return true;
}

// Starts the builder with the root of an absolute text and returns where its
// components begin. With strict, only one separator belongs to the root, so a
// doubled one after it is an empty component; otherwise all are skipped.
const char* StartRoot(const char* text, bool upper, bool strict, PathBuilder* b) {
  if (IsSeparator(text[0])) {
    b->Root = "\\";
    if (strict) return text + 1;
    while (IsSeparator(*text)) ++text;
    return text;
  }
  if (text[0] != '\0' && text[1] == ':') {
    b->Root.assign(1, upper ? Upper(text[0]) : text[0]);
    b->Root.push_back(':');
    text += 2;
    if (strict) return IsSeparator(*text) ? text + 1 : text;
    while (IsSeparator(*text)) ++text;
    return text;
  }
  b->Root.clear();
  return text;
}

}  // namespace

int BuildFullPath(const char* path, const char* base, const FullPathRules& rules, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0 || base == nullptr) return -1;
  PathBuilder b;
  const FullPathRules baseRules = {rules.UpperCase, false};
  const bool pathIsRooted = path != nullptr && (IsSeparator(path[0]) || (path[0] != '\0' && path[1] == ':'));
  if (pathIsRooted) {
    // One leading separator means the root of the base's drive when the base
    // names one (two in a row name a network root, which has none).
    const bool keepBaseDrive =
        IsSeparator(path[0]) && !IsSeparator(path[1]) && base[0] != '\0' && base[1] == ':';
    path = StartRoot(path, rules.UpperCase, rules.EmptyFails, &b);
    if (keepBaseDrive) {
      b.Root.assign(1, rules.UpperCase ? Upper(base[0]) : base[0]);
      b.Root.push_back(':');
    }
  } else {
    const char* rest = StartRoot(base, rules.UpperCase, false, &b);
    if (!Walk(rest, baseRules, false, &b)) return -1;
  }
  if (path != nullptr && !Walk(path, rules, true, &b)) return -1;
  const std::string text = b.Render();
  if (text.size() + 1 > outSize) return -1;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return 0;
}
