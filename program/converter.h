// The converter of the byte row: each of DecField, CharField and HexField rewrites the other two
// from its own text whenever it reports an event.
#pragma once

void ConvertFromDecField();
void ConvertFromCharField();
void ConvertFromHexField();
