/* Names and facts of the program's image resources, shared by app.rc and the code. */
#pragma once

/* The application icon (16x16 and 32x32). */
#define QUILLAN_ICON_NAME "MAINICON"
/* The tray menu images: a 64x16 24-bit strip of four 16x16 images, in the order
   info, settings, exit, refresh; pixels of MENU_IMAGES_MASK are transparent. */
#define MENU_IMAGES_NAME "MENUIMAGES"
#define MENU_IMAGE_SIZE 16
#define MENU_IMAGE_COUNT 4
#define MENU_IMAGES_MASK 0x00FF00FF /* COLORREF of magenta */
#define MENU_IMAGE_INFO 0
#define MENU_IMAGE_SETTINGS 1
#define MENU_IMAGE_EXIT 2
#define MENU_IMAGE_REFRESH 3
