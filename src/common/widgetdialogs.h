#pragma once

// Makes the real message boxes and file dialogs the dialog provider's
// fallback; the program calls it once after creating the application.
void useWidgetDialogs();
