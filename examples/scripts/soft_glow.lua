-- Soft glow: a 3 x 3 box blur of the picture, brightened, merged over the
-- layer in Screen mode at sliderVal1 (0..1). Reads come from the unfiltered
-- source throughout, so the blur needs no copy of its own.
local gain = 1 + sliderVal2
for y = bound_y0, bound_y1 do
  for x = bound_x0, bound_x1 do
    local r, g, b, n = 0, 0, 0, 0
    for dy = -1, 1 do
      for dx = -1, 1 do
        local px, py = x + dx, y + dy
        if px >= 0 and py >= 0 and px < width and py < height then
          local pr, pg, pb = get_rgb(px, py)
          r, g, b, n = r + pr, g + pg, b + pb, n + 1
        end
      end
    end
    set_rgb(x, y, r / n * gain, g / n * gain, b / n * gain)
  end
end
merge(MERGE_SCREEN, sliderVal1)
