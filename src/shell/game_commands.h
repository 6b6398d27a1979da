// The scenario's card, arts and progress commands: ".card", ".arts", ".svd",
// ".init" and ".strong".
#pragma once

// Adds them to the interpreter's command table (the composition root does,
// at start-up).
void RegisterGameCommands();
