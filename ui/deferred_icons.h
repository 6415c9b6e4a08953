#pragma once
// The menu bar makes the icon of its extension button (», shown only when
// the window is too narrow for its menus) as it is made. Qt reads that
// icon's PNG files through QImageReader, which first loads every image
// format plugin of the system (TIFF, WebP, MNG, JPEG and their libraries)
// to ask each whether it reads PNG: a tenth of a start-up's work, before
// the first paint, for an icon that is seldom drawn. The application's
// style is wrapped so that this icon is made when it is first drawn or
// measured; everything else is the style's own.

// Wraps the application's style, once; later calls do nothing.
void Use_deferred_standard_icons();
