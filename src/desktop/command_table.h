#pragma once
// Every command of the menu, the toolbar and the accelerators, once: its id, menu text, shortcut,
// status-bar prompt, tooltip and toolbar icon. The main frame builds its actions from this table.

#include <cstdint>
#include <span>

namespace velkora {

struct CommandEntry {
  int32_t id;
  const char* text;      // menu text, '&' before the mnemonic
  const char* shortcut;  // portable key sequence text; empty for none
  const char* prompt;    // shown in the status bar while the command is hovered
  const char* tooltip;
  const char* icon;  // resource path of the toolbar image; empty for none
};

std::span<const CommandEntry> commandTable();
const CommandEntry* findCommand(int32_t id);

// The toolbar, left to right; 0 stands for a separator.
std::span<const int32_t> toolbarLayout();

}  // namespace velkora
