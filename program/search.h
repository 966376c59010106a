// Find Next: moves the pointer to the next occurrence of the search pattern.
#pragma once

void FindNext();
