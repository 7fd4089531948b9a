// Damages a casebook file the way a failing disk or a stray write does, for
// the screenshot script of the recovery dialog
// (tests/app/screenshot/recovery.sh): 4 KiB of garbage over one page, by
// the store tests' own means (tests/store/damage.h).
//
//   damage_casebook FILE leaf     the records table's first leaf
//   damage_casebook FILE text     a page in the middle of a long record's text
//   damage_casebook FILE header   the file's first page
//
// The file must be closed (no -wal beside it).

#include <cstdio>
#include <cstring>

#include "damage.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: damage_casebook FILE leaf|text|header\n");
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  bool done = false;
  if (std::strcmp(argv[2], "leaf") == 0) {
    const std::vector<PageOf> leaves = PagesOf(path, "Omenry", "leaf");
    done = !leaves.empty() && DamagePage(path, leaves.front().page);
  } else if (std::strcmp(argv[2], "text") == 0) {
    done = DamageRecordsPage(path);
  } else if (std::strcmp(argv[2], "header") == 0) {
    done = DamagePage(path, 1);
  }
  if (!done) std::fprintf(stderr, "damage_casebook: nothing damaged in %s\n", argv[1]);
  return done ? 0 : 1;
}
