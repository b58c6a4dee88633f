// Resource ids of Movara.exe.
#pragma once

#define IDI_MOVARA 107
#define IDI_MOVARA_SMALL 108
#define IDR_SKIN_PACKAGE 131
