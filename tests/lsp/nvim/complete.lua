-- Drives Neovim's own LSP client as a user's editor would: attach mlinsight
-- with the README's recipe (MLI_RECIPE), ask for completion at a position,
-- apply the item with the given label the way the client applies it, and
-- write the buffer. Environment: MLI_EXE, MLI_RECIPE, MLI_FILE, MLI_LINE and
-- MLI_COL (0-based, bytes), MLI_LABEL, MLI_OUT. Exits 0 when the buffer was written, else 1 with a
-- line on stderr.
local env = vim.env
local here = vim.fn.fnamemodify(debug.getinfo(1, "S").source:sub(2), ":h")
local fail, buf = dofile(here .. "/open.lua")
local client
vim.wait(10000, function()
  client = vim.lsp.buf_get_clients(buf)[next(vim.lsp.buf_get_clients(buf)) or 0]
  return client ~= nil and client.initialized
end, 10)
if not client then fail("the recipe attached no server to " .. env.MLI_FILE .. " (filetype " .. vim.bo.filetype .. ")") end
if vim.bo[buf].omnifunc ~= "v:lua.vim.lsp.omnifunc" then fail("omnifunc is " .. vim.bo[buf].omnifunc) end
local id = client.id
-- A second page of another type shares the server.
vim.cmd("split " .. vim.fn.fnameescape(env.MLI_FILE .. ".second.css"))
vim.wait(5000, function() return next(vim.lsp.buf_get_clients(0)) ~= nil end, 10)
local second = vim.lsp.buf_get_clients(0)
if not second[id] or #vim.lsp.get_active_clients() ~= 1 then fail("a second buffer started another server") end
vim.cmd("close")
vim.api.nvim_set_current_buf(buf)

-- The position of an insert-mode cursor, which may stand after the line's
-- last character (a normal-mode one may not).
local line, col = tonumber(env.MLI_LINE), tonumber(env.MLI_COL)
local text = vim.api.nvim_buf_get_lines(buf, line, line + 1, false)[1] or ""
local _, units = vim.str_utfindex(text, col)
local character = client.offset_encoding == "utf-8" and col or units
local params = { textDocument = { uri = vim.uri_from_bufnr(buf) }, position = { line = line, character = character } }
local answers = vim.lsp.buf_request_sync(buf, "textDocument/completion", params, 10000)
if not answers or not answers[id] or answers[id].err then fail("no completion answer") end
local result = answers[id].result
local items = result and (result.items or result) or {}
local chosen
for _, item in ipairs(items) do
  if item.label == env.MLI_LABEL then chosen = item end
end
if not chosen then
  local labels = {}
  for i, item in ipairs(items) do if i <= 40 then labels[#labels + 1] = item.label end end
  fail("no item " .. env.MLI_LABEL .. " among " .. #items .. ": " .. table.concat(labels, " "))
end
if chosen.textEdit then
  vim.lsp.util.apply_text_edits({ chosen.textEdit }, buf, client.offset_encoding)
else
  -- What a client does with an item without an edit: the label goes in at the cursor.
  vim.api.nvim_buf_set_text(buf, line, col, line, col, { chosen.label })
end
local lines = vim.api.nvim_buf_get_lines(buf, 0, -1, false)
local out = io.open(env.MLI_OUT, "wb")
out:write(table.concat(lines, "\n"))
out:close()
vim.lsp.stop_client(id)
vim.cmd("qall!")
