-- Drives Neovim's own LSP client as a user's editor would: attach mlinsight
-- the way the README says, ask for completion at a position, apply the item
-- with the given label the way the client applies it, and write the buffer.
-- Environment: MLI_EXE, MLI_FILE, MLI_LINE and MLI_COL (0-based, bytes),
-- MLI_LABEL, MLI_OUT. Exits 0 when the buffer was written, else 1 with a
-- line on stderr.
local env = vim.env
local function fail(msg)
  io.stderr:write(msg .. "\n")
  vim.cmd("cquit 1")
end

vim.cmd("edit " .. vim.fn.fnameescape(env.MLI_FILE))
local buf = vim.api.nvim_get_current_buf()
local id = vim.lsp.start_client({ name = "mlinsight", cmd = { env.MLI_EXE, "lsp" } })
if not id then fail("the server did not start") end
vim.lsp.buf_attach_client(buf, id)
local client = vim.lsp.get_client_by_id(id)
if not vim.wait(10000, function() return client.initialized end, 10) then fail("no initialize answer") end

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
