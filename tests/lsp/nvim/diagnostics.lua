-- Neovim's own client shows the server's problems: attach mlinsight with the
-- README's recipe (MLI_RECIPE) to MLI_FILE, wait for its diagnostics, delete
-- the bytes MLI_DELETE ("line:from:to", 0-based) as a user would, wait for the
-- new ones, and write both lists to MLI_OUT as "code line:col" lines.
local env = vim.env
local here = vim.fn.fnamemodify(debug.getinfo(1, "S").source:sub(2), ":h")
local fail, buf = dofile(here .. "/open.lua")
local function listed()
  local out = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    out[#out + 1] = tostring(d.code) .. " " .. d.lnum .. ":" .. d.col
  end
  table.sort(out)
  return out
end
if not vim.wait(10000, function() return #vim.diagnostic.get(buf) > 0 end, 10) then
  fail("no diagnostics after opening " .. env.MLI_FILE)
end
local before = listed()
local line, from, to = env.MLI_DELETE:match("(%d+):(%d+):(%d+)")
vim.api.nvim_buf_set_text(buf, tonumber(line), tonumber(from), tonumber(line), tonumber(to), { "" })
if not vim.wait(10000, function() return table.concat(listed(), ",") ~= table.concat(before, ",") end, 10) then
  fail("the diagnostics did not follow the change: " .. table.concat(before, ", "))
end
local out = io.open(env.MLI_OUT, "wb")
out:write(table.concat(before, "\n") .. "\n--\n" .. table.concat(listed(), "\n"))
out:close()
vim.cmd("qall!")
