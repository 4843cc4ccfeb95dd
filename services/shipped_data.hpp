// Files shipped with aqsol (the species sets under share/aqsol/species, say), found where the
// program is installed, or in the source tree for a program run from its build folder.
#pragma once

#include <string>
#include <string_view>

namespace aqsol {

// The path of shipped file FOLDER/NAME: under $AQSOL_DATA_DIR where that is set, else under
// share/aqsol beside the program's bin folder or the aqsol library's lib folder (for R and
// Python), else SOURCE_FOLDER/NAME in the source tree it was built from; empty where none holds
// it.
std::string shippedFile(std::string_view folder, std::string_view name,
                        std::string_view sourceFolder);

}  // namespace aqsol
