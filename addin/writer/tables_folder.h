// The add-in's folder on first use in Writer: when it lacks the tables, it is made and the tables that
// came with the extension are copied there (the extension's own folder is never written).
#pragma once

#include <string>

#include "host.h"

namespace tibet::writer {

// The folder of the extension's copy of the tables (beside the component's library).
std::string installed_tables_folder();

// Copies keyfont and keymap from `from` into `folder` when `folder` lacks either, making `folder` first.
// 0 when nothing was missing, 1 when it copied, -1 with `error` set when it could not.
int copy_missing_tables(const std::string& from, const std::string& folder, std::string& error);

// The same for the add-in's folder, telling the user through `host` what was done or what failed.
// False when the tables are still missing.
bool provide_tables(Host& host);

}  // namespace tibet::writer
