-- Hue shift through HSL: the hue turns by sliderVal1 x 360 degrees, the
-- saturation scales by 1 + sliderVal2 and the lightness moves by
-- sliderVal3 - 0.5 (sliders arrive as 0..1 from thousandths).
local turn = sliderVal1 * 360
local saturation = 1 + sliderVal2
local lightness = sliderVal3 - 0.5
for y = bound_y0, bound_y1 do
  for x = bound_x0, bound_x1 do
    local h, s, l = get_hsl(x, y)
    set_hsl(x, y, (h + turn) % 360, s * saturation, l + lightness)
  end
  if is_escape() ~= 0 then return end
end
