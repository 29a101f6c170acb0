// The parameter editor.
#pragma once

namespace bridge {

// Shows the parameter editor modally.
void ShowEditor();

}  // namespace bridge
