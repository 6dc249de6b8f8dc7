-- The whiteboard's skin scripts. A button hands its click to the program
-- object of its window as a named command (the button, the command, an
-- argument); the program decides what it means. The scripts only keep the
-- buttons of a group showing which one is chosen.

local tools = {
  "choice", "delete", "pencial", "rect", "trigon", "text", "image", "freecut",
  "line", "lineSA", "lineDA", "ellipse", "halfcircle1", "halfcircle2", "halfcircle3", "halfcircle4",
}
local lineStyles = { "PS_SOLID", "PS_DASH", "PS_DOT", "PS_DASHDOT", "PS_DASHDOTDOT" }

local function run(command, argument)
  return ui.command(command, argument or "")
end

-- Checks the clicked button and clears the others of its group in the same window.
local function choose(group)
  local window, chosen = ui.window(), ui.control()
  for _, name in ipairs(group) do
    local button = ui.find(window, name)
    if button ~= 0 then ui.check(button, button == chosen) end
  end
end

function OnSelectTool()
  choose(tools)
  run("SelectTool")
end

function OnSelectLineStyle()
  choose(lineStyles)
  run("SelectLineStyle")
end

function OnSetPage() run("SetPage") end
function OnPageOpt() run("PageOpt") end
function OnContents() run("Contents") end
function OnPaste() run("Paste") end
function OnCut() run("Cut") end
function OnCaptureScreen() run("CaptureScreen") end
function OnInsertHandSymbol() run("InsertHandSymbol") end
function OnSetBkGnd() run("SetBkGnd") end
function OnSetBkGndScale() run("SetBkGndScale") end
function OnSelectPrintQuality() run("SelectPrintQuality") end
