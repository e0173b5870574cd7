-- Records a stroke script instead of painting: one horizontal stroke per
-- band of 'sliderVal1 x 100' rows (at least 2), each in the colour found
-- under its start, with pressure following the pixel's lightness. The host
-- replays <start directory>scripts/luapaint.srp with its brush engine.
local band = math.max(2, math.floor(sliderVal1 * 100))
paint_open(1234)
paint_select_brush("Round", styleVal1, 0)
paint_brush_size(band)
paint_brush_opacity(80)
for y = bound_y0, bound_y1, band do
  local r, g, b = get_rgb(0, y)
  paint_brush_color(r, g, b)
  paint_stroke_start(0, y)
  for x = bound_x0, bound_x1, 4 do
    local _, _, l = get_hsl(x, y)
    paint_stroke_pos(x, y, l)
  end
  paint_stroke_stop()
end
paint_close()
