// Find Next: moves the pointer to the next occurrence of the search pattern.
#pragma once

// From the first byte when "Search from start" is checked, else from the byte after the pointer;
// a miss puts the pointer on the first byte. Unchecks "Search from start".
void FindNext();
