<%@ Page Language="C#" %>
<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<body>
<form runat="server">
<asp:Button  />
<asp:DropDownList runat="server">

</asp:DropDownList>
</form>
</body>
</html>
