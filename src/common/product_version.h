/* The product's title, version and copyright line as plain macros, so that the Windows resource
   compiler reads the same texts as the program (product.h). */
#pragma once

#define ORM_PRODUCT_TITLE "Ormandel 2.20 build 1098"
#define ORM_VERSION_TEXT "2.20.1098"
#define ORM_VERSION_NUMBERS 2, 20, 1098, 0
#define ORM_COPYRIGHT_LINE "Copyright (C) 2026 The Ormandel authors"
