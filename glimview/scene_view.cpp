// glimview scene: the picture as the segmentation sees it (its blue samples as
// grey levels) with the object boxes numbered as glimcut and glimsee number
// them, beside the thinned edge map from which the boxes were traced.
#include <cstdio>
#include <cstring>

#include "canvas.h"
#include "messages.h"
#include "scene.h"
#include "views.h"

constexpr int ZOOM = PANEL_ZOOM;
constexpr int MARGIN = 8;
constexpr int TEXT_SCALE = 2;
constexpr int CAPTION_HEIGHT = GLYPH_HEIGHT * TEXT_SCALE + 6;
constexpr int TAG_PADDING = 2;

constexpr colour BACKGROUND = {240, 240, 240};
constexpr colour EDGE = BLACK;
constexpr colour NO_EDGE = WHITE;
// Box colours by box number, repeating; each stands out on grey and on white.
static const colour BOX_COLOURS[] = {{230, 25, 75}, {0, 110, 200},  {245, 130, 48},
                                     {40, 160, 60}, {145, 30, 180}, {0, 128, 128}};
constexpr int BOX_COLOUR_COUNT = sizeof BOX_COLOURS / sizeof BOX_COLOURS[0];

// The thinned edge map, kept before the object finder erases it while tracing.
static unsigned char thinned_edges[SCENE_COLUMNS][SCENE_STRIDE];

// Draws box n on the panel whose top left corner is (left, top): its frame,
// and its number on a tag of the frame's colour in the frame's top left corner.
static void draw_box(canvas *picture, int left, int top, int n) {
    colour line = BOX_COLOURS[n % BOX_COLOUR_COUNT];
    box_frame frame =
        canvas_box_frame(left, top, object_x(n), object_y(n), object_width(n), object_height(n));
    int x = frame.x, y = frame.y;
    canvas_outline(picture, x, y, frame.width, frame.height, BOX_FRAME_THICKNESS, line);
    char number[16];
    snprintf(number, sizeof number, "%d", n);
    canvas_fill(picture, x, y, text_width(number, TEXT_SCALE) + 2 * TAG_PADDING,
                GLYPH_HEIGHT * TEXT_SCALE + 2 * TAG_PADDING, line);
    canvas_text(picture, x + TAG_PADDING, y + TAG_PADDING, number, TEXT_SCALE, WHITE);
}

static void draw_scene(canvas *picture, const char *picture_name, int width, int height) {
    int panel_width = width * ZOOM;
    int panel_height = height * ZOOM;
    canvas_init(picture, 3 * MARGIN + 2 * panel_width, 2 * MARGIN + CAPTION_HEIGHT + panel_height,
                BACKGROUND);
    int top = MARGIN + CAPTION_HEIGHT;
    int samples_left = MARGIN;
    int edges_left = 2 * MARGIN + panel_width;

    char caption[400];
    snprintf(caption, sizeof caption, "%s: %d object%s", picture_name, object_count(),
             object_count() == 1 ? "" : "s");
    canvas_text(picture, samples_left, MARGIN, caption, TEXT_SCALE, BLACK);
    canvas_text(picture, edges_left, MARGIN, "thinned edges", TEXT_SCALE, BLACK);

    for (int x = 0; x < width; x++) {
        for (int y = 0; y < height; y++) {
            unsigned char blue = scene_input[x][y];
            canvas_fill(picture, samples_left + x * ZOOM, top + y * ZOOM, ZOOM, ZOOM,
                        {blue, blue, blue});
            canvas_fill(picture, edges_left + x * ZOOM, top + y * ZOOM, ZOOM, ZOOM,
                        thinned_edges[x][y] ? EDGE : NO_EDGE);
        }
    }
    for (int n = 0; n < object_count(); n++) {
        draw_box(picture, samples_left, top, n);
        draw_box(picture, edges_left, top, n);
    }
}

int view_scene(const char *picture_name, const char *out_name) {
    // The steps of scene_load one by one, so that the edge map can be kept
    // between the thinning and the object finder.
    int width = 0;
    int height = 0;
    if (scene_read_picture(picture_name, &width, &height) != 0) return -1;
    scene_edge_filter(width, height);
    scene_thin(width, height);
    memcpy(thinned_edges, scene_edges, sizeof thinned_edges);
    scene_find_objects(width, height);

    printf("Number of objects: %d\n", object_count());
    for (int n = 0; n < object_count(); n++)
        printf(" Object %d: %d,%d-%dx%d\n", n, object_x(n), object_y(n), object_width(n),
               object_height(n));
    canvas picture;
    draw_scene(&picture, picture_name, width, height);
    return view_save_picture(&picture, out_name);
}
