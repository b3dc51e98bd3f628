-- What each end-to-end script starts with: the README's recipe as a user's
-- init.lua holds it (MLI_RECIPE, mlinsight from MLI_EXE on the PATH), then
-- MLI_FILE opened. Returns fail (a line on stderr, exit status 1) and the buffer.
local env = vim.env
local function fail(msg)
  io.stderr:write(msg .. "\n")
  vim.cmd("cquit 1")
end

vim.cmd("filetype on")
vim.env.PATH = vim.fn.fnamemodify(env.MLI_EXE, ":h") .. ":" .. vim.env.PATH
dofile(env.MLI_RECIPE)
vim.cmd("edit " .. vim.fn.fnameescape(env.MLI_FILE))
return fail, vim.api.nvim_get_current_buf()
