// What a command line asks for, as the parser in app/ reads it: the mode,
// its files and options, and the exit codes every mode ends with.
#pragma once

enum CommandMode {
  COMMAND_WINDOW,   // no option: the window, with the terrain named if any
  COMMAND_EXPORT,   // --export KIND[,KIND...] TERRAIN
  COMMAND_CHECK,    // --check TERRAIN
  COMMAND_HELP,     // --help, -h
  COMMAND_VERSION,  // --version
  COMMAND_IMPORT_HEIGHTS,  // --import-heights FILE TERRAIN [--fit MAX]
  COMMAND_DIFF,            // --diff A B [--picture]
  COMMAND_NEW,             // --new TERRAIN COLUMNSxROWS [--texture N] [--height M] [--textures FOLDER]
  COMMAND_IMPORT_LANDS,    // --import-lands PICTURE TERRAIN
  COMMAND_RECOVER,         // --recover TERRAIN
  COMMAND_LANDS_FROM_HEIGHTS,  // --lands-from-heights TERRAIN --sea LAND [--level M] [--shore LAND]
  COMMAND_HEIGHTS_FROM_LANDS,  // --heights-from-lands TERRAIN --sea LAND [--depth M]
  COMMAND_IMPORT_DEM,      // --import-dem DEM... TERRAIN [--resampling METHOD]
  COMMAND_IMPORT_LANDCOVER,  // --import-landcover RASTER TERRAIN --classes CLASSES.ini [--sea LAND]
  COMMAND_IMPORT_TARGETS,    // --import-targets PLACES TERRAIN
  COMMAND_MAKE_LANDS,      // --make-lands TERRAIN --land NAME=PICTURE[:water]... [--variants K] [--seed S] [--border B] [--size N]
  COMMAND_USAGE_ERROR,
};

enum CommandExit {
  COMMAND_EXIT_DONE = 0,
  COMMAND_EXIT_FAILED = 1,  // an export failed, the check found problems, the terrains differ
  COMMAND_EXIT_USAGE = 2,   // a usage error, or a tile map cannot be read
};

enum { COMMAND_KINDS_MAX = 64, COMMAND_DEMS_MAX = 1024, COMMAND_LANDS_MAX = 16 };

// The kind word "view": the view from the air (render/air), beside the export kinds.
enum { COMMAND_KIND_VIEW = 100 };

struct CommandLine {
  int mode;                      // CommandMode
  int kinds[COMMAND_KINDS_MAX];  // export kinds in the order asked for
  int kind_count;
  const char *terrain;  // the tile map's path, or null
  int format;           // ExportFormat of --format, or -1 for the settings' one
  const char *heights;  // the picture, raster or place list of --import-heights, -lands, -landcover, -targets
  int fit;              // MAX of --fit, or 0
  const char *other;    // the second terrain of --diff
  int picture;          // --picture
  int columns, rows;    // the size of --new
  int texture;          // --texture N, or 0 when not given (texture 1)
  int height;           // --height M, or -1 when not given (height 0)
  const char *textures; // --textures FOLDER, or null
  const char *water;    // --water NAME[,NAME...] of --new --textures, or null
  const char *lands_from;  // --lands-from OTHER.TFD of --new --textures, or null
  const char *new_lands;   // --lands NAME=PICTURE[:water],... of --new, or null
  const char *classes;  // --classes CLASSES.ini of --import-landcover, or null
  const char *sea;      // --sea LAND, or null
  const char *shore;    // --shore LAND, or null
  int level;            // --level M, or -1 when not given (0)
  int depth;            // --depth M, or -1 when not given (0)
  double camera[5];     // --camera X,Y,ALT,HEADING,PITCH: metres east and north, above sea, degrees
  int camera_given;
  int camera_degrees;    // camera[0..1] are a latitude and a longitude (43.2N,19.1E,...)
  int view_width, view_height;  // --size WxH, or 0 for the window's view
  const char *size_text;  // --size as typed: WxH of view, or COLUMNSxROWS of --new --area
  // The elevation models of --import-dem or --new's --dem, in the order given.
  const char *dems[COMMAND_DEMS_MAX];
  int dem_count;
  double area[4];          // --area SOUTH,WEST,NORTH,EAST in degrees
  int area_given;
  const char *projection;  // --projection PROJ, or null
  const char *resampling;  // --resampling METHOD, or null for the rasters' own choice
  const char *lands[COMMAND_LANDS_MAX];  // the values of --land, in order
  int land_count;       // how many --land were given (those past COMMAND_LANDS_MAX not kept)
  int variants;         // --variants K, or 0 when not given
  long long seed;       // --seed S, or -1 when not given
  int border;           // --border B, or -1 when not given
  int set_size;         // --size N of --make-lands, or 0
  char error[160];      // what is wrong with a usage error
};
