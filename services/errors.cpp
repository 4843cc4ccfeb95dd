// Runtime errors: the pending-error slot, critical errors and the message table.
#include "services/errors.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace aqsol {
namespace {

struct Message {
  uint32_t number;
  const char* text;
};

// Sorted by number; looked up by a linear scan (the table is small and rarely read).
constexpr Message kMessages[] = {
    {1, "NEXT without FOR"},
    {2, "Syntax error"},
    {3, "RETURN without GOSUB"},
    {4, "Out of DATA"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {8, "Label not defined"},
    {9, "Subscript out of range"},
    {10, "Duplicate definition"},
    {12, "Illegal in direct mode"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "String formula too complex"},
    {17, "Cannot continue"},
    {18, "Function not defined"},
    {19, "No RESUME"},
    {20, "RESUME without error"},
    {24, "Device timeout"},
    {25, "Device fault"},
    {26, "FOR without NEXT"},
    {27, "Out of paper"},
    {29, "WHILE without WEND"},
    {30, "WEND without WHILE"},
    {33, "Duplicate label"},
    {35, "Subprogram not defined"},
    {37, "Argument-count mismatch"},
    {38, "Array not defined"},
    {40, "Variable required"},
    {50, "FIELD overflow"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {56, "FIELD statement active"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Communication-buffer overflow"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk-media error"},
    {73, "Feature unavailable"},
    {74, "Rename across disks"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {258, "Invalid handle"},
    {300, "Memory region out of range"},
    {301, "Invalid size"},
    {302, "Source memory region out of range"},
    {303, "Destination memory region out of range"},
    {304, "Source and destination memory regions out of range"},
    {305, "Source memory has been freed"},
    {306, "Destination memory has been freed"},
    {307, "Memory already freed"},
    {308, "Memory has been freed"},
    {309, "Memory not initialized"},
    {310, "Source memory not initialized"},
    {311, "Destination memory not initialized"},
    {312, "Source and destination memory not initialized"},
    {313, "Source and destination memory have been freed"},
};

struct CriticalBox {
  std::string_view text;
  std::string caption;
};

// The message box of a number that raise_error treats as critical; false for all others.
bool critical_box_for(int64_t n, CriticalBox& box) {
  switch (n) {
    case 11:
      box = {"Division by zero", "Critical Error"};
      return true;
    case 256:
      box = {"Out of stack space", "Critical Error"};
      return true;
    case 257:
      box = {"Out of memory", "Critical Error #1"};
      return true;
    case 259:
      box = {"Cannot find dynamic library file", "Critical Error"};
      return true;
    case 260:
    case 261:
      box = {"Sub/Function does not exist in dynamic library", "Critical Error"};
      return true;
    default:
      break;
  }
  if (n >= 502 && n <= 518) {
    box = {"Out of memory", "Critical Error #" + std::to_string(n - 500)};
    return true;
  }
  return false;
}

}  // namespace

void ErrorSlot::raise_critical(uint32_t n) {
  CriticalBox box;
  if (!critical_box_for(n, box)) box = {"Out of memory", "Critical Error"};
  throw CriticalError{n, std::string(box.text), std::string(box.caption)};
}

void ErrorSlot::raise_error(int64_t n) {
  CriticalBox probe;
  if (critical_box_for(n, probe)) raise_critical(static_cast<uint32_t>(n));
  if (pending_ != 0) return;
  pending_ = n <= 0 ? kIllegalFunctionCall : static_cast<uint32_t>(n);
  if (event_pending_ != nullptr) event_pending_->store(true, std::memory_order_release);
}

bool is_critical_when_shown(uint32_t n) {
  return n >= 300 && n <= 313;
}

std::string error_box_text(uint32_t n, int32_t line) {
  std::string text = "Line:" + std::to_string(line) + "\n" + std::string(error_message(n));
  if (!is_critical_when_shown(n)) text += "\nContinue?";
  return text;
}

std::string error_box_caption(uint32_t n) {
  return (is_critical_when_shown(n) ? "Critical Error #" : "Unhandled Error #") + std::to_string(n);
}

std::string_view error_message(uint32_t n) {
  for (const Message& m : kMessages)
    if (m.number == n) return m.text;
  return "Unprintable error";
}

}  // namespace aqsol
