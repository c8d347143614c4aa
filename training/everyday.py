"""Everyday Vietnamese sentences: hand-written conversation plus templates for
numbers, dates, times, prices, phone numbers, places and daily life.

Generated text is already normalised (lower case, no punctuation, numbers read out).
"""
import random

from vntext import read_number, read_digits

SENTENCES = """
xin chào bạn khỏe không
chào anh hôm nay anh có khỏe không
cảm ơn bạn rất nhiều
không có gì đâu
xin lỗi tôi đến muộn
bạn tên là gì
tôi tên là lan còn bạn
rất vui được gặp bạn
bạn đến từ đâu
tôi đến từ hà nội
tôi sống ở thành phố hồ chí minh
hôm nay trời đẹp quá
trời sắp mưa rồi mang áo mưa đi
bây giờ là mấy giờ rồi
bạn có rảnh vào cuối tuần không
mình đi uống cà phê nhé
tôi muốn đặt một bàn cho bốn người
cho tôi xem thực đơn
món này giá bao nhiêu
tính tiền cho tôi với
em ơi cho anh một ly trà đá
tôi không ăn được cay
món phở ở đây rất ngon
bạn có thể nói chậm hơn được không
tôi không hiểu bạn nói gì
làm ơn nhắc lại một lần nữa
đường đến nhà ga đi như thế nào
đi thẳng rồi rẽ trái ở ngã tư
bệnh viện gần nhất ở đâu
tôi bị đau đầu từ tối hôm qua
con tôi bị sốt cao
gọi giúp tôi một chiếc xe tắc xi
tôi muốn đi sân bay
chuyến bay của tôi cất cánh lúc tám giờ
hôm qua tôi đi làm về muộn
sáng nay tôi dậy sớm để tập thể dục
chiều nay chúng ta họp lúc mấy giờ
cuộc họp bị hoãn sang tuần sau
anh gửi cho em tài liệu đó nhé
em đã nhận được thư của anh chưa
tôi sẽ gọi lại cho bạn sau
điện thoại của tôi sắp hết pin
mật khẩu mạng không dây là gì
mẹ ơi con đói bụng quá
bố đi làm chưa về
cả nhà đang ăn cơm tối
cuối tuần này về quê thăm ông bà
chúc mừng sinh nhật bạn
chúc mừng năm mới an khang thịnh vượng
năm nay tết đến sớm
chúng tôi đi du lịch đà nẵng vào mùa hè
biển ở nha trang rất đẹp
tôi thích đọc sách vào buổi tối
bạn thích nghe loại nhạc nào
tối nay có phim gì hay không
đội tuyển việt nam thắng hai không
học sinh được nghỉ hè từ tháng sáu
cô giáo dặn chúng em làm bài tập
tôi đang học tiếng anh
bạn nói tiếng việt giỏi quá
giá xăng lại tăng rồi
chợ hôm nay đông người quá
rau này bao nhiêu một bó
cho tôi hai cân thịt bò
cái áo này có cỡ lớn hơn không
tôi muốn đổi cái này
cửa hàng mở cửa đến mấy giờ
ngân hàng đóng cửa vào chủ nhật
tôi cần rút tiền ở máy rút tiền
xe buýt số mười tám dừng ở đâu
đường phố bị tắc vì trời mưa
cẩn thận kẻo ngã
đừng lo mọi chuyện sẽ ổn thôi
tôi nhớ bạn nhiều lắm
hẹn gặp lại bạn ngày mai
chúc bạn ngủ ngon
bạn đã ăn sáng chưa
tôi ăn rồi cảm ơn
hôm nay là thứ mấy
mai là thứ bảy được nghỉ
công việc dạo này thế nào
cũng bình thường thôi
anh ấy vừa mới chuyển nhà
chị ấy làm bác sĩ ở bệnh viện bạch mai
ông tôi năm nay tám mươi tuổi
bà ngoại nấu ăn rất ngon
em gái tôi đang học đại học
nhà tôi có ba phòng ngủ
phòng này hơi nóng bật điều hòa lên đi
tắt đèn giúp tôi với
mở cửa sổ cho thoáng
nước sôi rồi pha trà đi
trời lạnh nhớ mặc ấm
dự báo thời tiết nói mai có bão
lũ lụt ở miền trung rất nghiêm trọng
mọi người đã quyên góp giúp đỡ đồng bào
chính phủ vừa ban hành chính sách mới
thị trường chứng khoán giảm mạnh
giá vàng hôm nay tăng nhẹ
công ty chúng tôi đang tuyển nhân viên
bạn có kinh nghiệm làm việc bao lâu rồi
lương tháng này được trả chưa
tôi xin nghỉ phép ba ngày
anh có thể giúp tôi một việc được không
tất nhiên rồi bạn cứ nói
ý kiến của bạn thế nào
tôi đồng ý với bạn
tôi nghĩ là không nên
để tôi suy nghĩ thêm đã
thôi được rồi cứ làm như vậy đi
nhanh lên kẻo muộn
đợi tôi một chút
tôi đang trên đường tới
khoảng mười phút nữa tôi đến
bạn đang ở đâu đấy
tôi đang ở nhà
gửi cho tôi địa chỉ nhé
số nhà mười hai ngõ năm phố huế
ở đây có bán vé tàu không
một vé khứ hồi đi huế
tàu chạy lúc mấy giờ
bao lâu thì đến nơi
khách sạn này còn phòng trống không
tôi muốn trả phòng
bữa sáng được phục vụ lúc mấy giờ
hồ gươm nằm ở trung tâm hà nội
sông hồng chảy qua thủ đô
việt nam có năm mươi tư dân tộc
mùa thu hà nội rất đẹp
mùa hè ở sài gòn nóng và hay mưa
người dân ở đây rất thân thiện
tôi yêu việt nam
nhắn cho mẹ là con về muộn
nhắn cho bố là tối nay con không ăn cơm nhà
gọi điện cho chị hương
gọi cho anh tuấn giúp tôi
đặt báo thức lúc sáu giờ sáng mai
hẹn giờ mười lăm phút để luộc trứng
bật đèn phòng khách lên
tắt hết đèn trong nhà đi
mở bài hát nào vui vui một chút
vặn nhỏ tiếng xuống một chút
tăng âm lượng lên giúp tôi
ngày mai thời tiết ở hà nội thế nào
hôm nay có mưa không
nhắc tôi uống thuốc lúc chín giờ tối
nhắc tôi mua sữa khi về nhà
ghi chú là phải nộp tiền điện trước ngày mười
tìm quán phở gần đây nhất
chỉ đường cho tôi đến bệnh viện gần nhất
từ đây về nhà mất bao lâu
đọc tin nhắn mới cho tôi nghe
trả lời là anh đang bận lát nữa gọi lại
nhắn cho vợ là anh sắp về đến nhà rồi
nhắn cho chồng là nhớ đón con lúc năm giờ
gửi tin nhắn cho nhóm lớp là mai nghỉ học
tắt báo thức đi
báo thức lại sau mười phút nữa
hôm nay lịch của tôi có gì
thêm lịch họp vào chiều thứ năm
hủy cuộc hẹn ngày mai giúp tôi
gọi lại cho số vừa gọi nhỡ
chụp ảnh giúp tôi
mở quạt lên số ba
tắt điều hòa sau một tiếng nữa
đóng rèm cửa lại
bật máy giặt đi
nồi cơm đã chín chưa
mẹ ơi con đi học đây
con chào bố mẹ con đi làm
bố ơi tối nay mấy giờ bố về
má ơi cơm chín chưa
ba ơi con muốn đi công viên
con ăn cơm xong chưa
ăn nhanh lên còn đi học
đánh răng rửa mặt rồi đi ngủ đi con
con làm bài tập về nhà chưa
mai con có kiểm tra toán
con được điểm mười môn văn
hôm nay ở trường có gì vui không
cô giáo khen con viết chữ đẹp
bạn của con mời đi sinh nhật vào thứ bảy
anh ơi đi chợ mua giúp em bó rau muống
em ơi nhớ mua nước mắm nhé
nhà hết gạo rồi
tủ lạnh còn trứng không
tối nay ăn gì bây giờ
tối nay mình nấu canh chua cá lóc nhé
hôm nay đến lượt ai rửa bát
anh đổ rác giúp em với
em quét nhà rồi lau nhà luôn nhé
quần áo phơi khô rồi cất vào đi
trời sắp mưa rồi rút quần áo vào
cuối tuần cả nhà dọn dẹp nhà cửa
cái bóng đèn trong nhà tắm bị cháy rồi
vòi nước trong bếp bị rò
gọi thợ đến sửa máy lạnh giúp mẹ
ông bà dạo này có khỏe không
cháu chào ông cháu chào bà
bà ơi cháu về rồi đây
tết này cả nhà về quê ăn tết nhé
mẹ gói bánh chưng chưa
năm nay nhà mình có mua cành đào không
chúc ông bà sống lâu trăm tuổi
chúc cô chú năm mới nhiều sức khỏe
con chúc mẹ luôn vui vẻ và mạnh khỏe
em bé nhà chị được mấy tháng rồi
cháu bé dễ thương quá
em bé đang ngủ nói nhỏ thôi
chiều nay ai đi đón con
con bị ho mấy hôm nay rồi
dạo này cậu thế nào
lâu lắm rồi không gặp cậu
cậu có khỏe không dạo này bận lắm à
tối nay đi ăn lẩu không
đi đâu đấy cho tớ đi với
tớ đang ở quán cà phê gần trường
mày đến chưa tao đợi lâu lắm rồi
chờ tớ năm phút nữa nhé
tớ đến muộn một chút đừng giận nhé
cuối tuần này đi xem phim không
phim này hay lắm nên xem
hôm qua đi chơi vui không
tối qua mình thức khuya quá
hôm nay mình mệt quá muốn ngủ sớm
mình vừa thi xong nhẹ cả người
chúc mừng cậu đã đỗ đại học
chúc mừng anh chị nhé
đám cưới của bạn vào ngày nào
tuần sau mình đi đám cưới bạn thân
mình có chuyện muốn nói với cậu
cậu giữ bí mật giúp mình nhé
mình xin lỗi vì hôm qua đã nói nặng lời
không sao đâu mình hiểu mà
cảm ơn cậu đã luôn ở bên mình
có gì cứ gọi cho mình
nhớ giữ gìn sức khỏe nhé
về đến nhà thì nhắn cho mình một câu
mình về đến nhà rồi nhé
ngủ ngon nhé mai gặp
chúc một ngày tốt lành
chúc cậu thi tốt
cố lên mình tin cậu làm được
đừng buồn nữa mọi chuyện rồi sẽ qua
em có muốn đi dạo không
anh nhớ em nhiều lắm
em đang làm gì đấy
anh đang ở đâu vậy
tối nay anh qua đón em nhé
em mặc áo nào cũng đẹp
hôm nay là kỷ niệm một năm của chúng mình
anh xin lỗi em đừng giận nữa
chị ơi cái này bán thế nào
cái áo này bao nhiêu tiền
bớt cho em một chút được không
đắt quá chị bớt đi
hai trăm nghìn được không chị
cho tôi mua một cân cam
xoài này bao nhiêu một cân
chuối này có ngọt không
cho em lấy nửa cân thịt ba chỉ
cá này còn tươi không chị
tôi muốn mua một con gà
có bán trứng vịt không
cho tôi ba bó rau cải
hết bao nhiêu tiền vậy chị
tôi gửi tiền chị nhé
chị có tiền lẻ không
anh trả thừa cho tôi mười nghìn
thối lại cho em năm nghìn
có túi không cho tôi xin một cái
cho tôi thử đôi giày này
đôi này có số nhỏ hơn không
cái váy này có màu khác không
tôi lấy cái màu xanh
cái này chật quá
áo này hơi rộng
tôi chỉ xem thôi cảm ơn
có được đổi trả không
hàng này bảo hành bao lâu
có giao hàng tận nhà không
bao giờ thì hàng về
siêu thị có chương trình khuyến mãi không
mua hai tặng một phải không
quầy thanh toán ở đâu
tôi có thể trả bằng thẻ không
tôi trả tiền mặt
cho tôi xin hóa đơn
hôm nay chợ có bán cua không
giá rau dạo này đắt quá
tiền điện tháng này tăng nhiều quá
mua cái này có đáng không
hàng này là hàng thật hay hàng giả
cho tôi một bát phở bò tái
cho anh một đĩa cơm rang dưa bò
thêm một bát cơm nữa
cho em xin thêm đá
không lấy hành nhé
ít đường thôi chị nhé
cho tôi một cốc nước cam
cho tôi một ly cà phê đen không đường
cho hai ly trà sữa
cho tôi xin đôi đũa
món này có cay không
món nào ngon nhất ở đây
quán mình có món chay không
tôi bị dị ứng với tôm
cho tôi gói mang về
món này có thể ăn được cho mấy người
đồ ăn ra lâu quá
món này nguội rồi hâm nóng lại giúp tôi
nhà vệ sinh ở đâu ạ
anh ơi tính tiền bàn này
chia đều ra mỗi người một phần
hôm nay để mình mời
lần sau đến lượt mình trả
ăn no quá rồi
món này ngon tuyệt
bún chả ở đây ăn được đấy
đi ăn bánh xèo không
tối nay mình ăn nướng nhé
tôi muốn đặt bàn lúc bảy giờ tối nay
quán có chỗ để xe không
cho tôi xem lại hóa đơn
hình như tính nhầm rồi
món này không đúng món tôi gọi
cho thêm rau sống
cho xin bát nước mắm
cho thêm chén nước chấm
ly này đầy quá rồi
đi thẳng khoảng hai trăm mét nữa
đến ngã ba thì rẽ phải
qua cầu rồi đi thêm một đoạn
nhà tôi ở cuối ngõ
đối diện trường học có một cây xăng
bưu điện ở gần chợ
anh ơi cho hỏi đường đến hồ gươm
chị ơi đây là phố gì
từ đây đi bộ có xa không
có xe buýt đến đó không
bến xe buýt gần nhất ở đâu
xe này có đi qua chợ bến thành không
bác tài ơi cho cháu xuống đây
cho tôi xuống ở ngã tư phía trước
đi xe ôm mất bao nhiêu tiền
anh chở tôi ra bến xe
làm ơn đi chậm thôi
anh đi nhầm đường rồi
quay lại đi tôi quên đồ
đường này một chiều không đi được
đoạn đường này đang sửa
xe tôi bị thủng lốp rồi
gần đây có tiệm sửa xe không
xe hết xăng rồi
đổ đầy bình xăng cho tôi
bãi đỗ xe ở đâu
gửi xe bao nhiêu tiền
giờ này đường đông lắm
đi đường tránh cho nhanh
hôm nay tắc đường kinh khủng
tôi bị kẹt xe mất một tiếng
máy bay bị hoãn hai tiếng
cổng lên máy bay số mấy
tôi muốn gửi hành lý
hành lý của tôi bị thất lạc
tôi muốn đổi vé sang ngày khác
vé tàu đi sài gòn còn không
cho tôi hai vé giường nằm
ghế của tôi ở toa số mấy
tàu sắp đến ga chưa
chuyến xe cuối cùng lúc mấy giờ
tôi đặt phòng trước rồi
tôi muốn nhận phòng
phòng có cửa sổ không
cho tôi một phòng đôi
giá phòng một đêm bao nhiêu
giá phòng đã bao gồm bữa sáng chưa
cho tôi gửi hành lý ở đây
phòng tôi không có nước nóng
điều hòa trong phòng bị hỏng
làm ơn dọn phòng giúp tôi
cho tôi thêm một cái chăn
gọi cho tôi một chiếc xe lúc năm giờ sáng
khách sạn có hồ bơi không
từ khách sạn ra biển có xa không
tôi muốn ở thêm một đêm nữa
ở đây có chuyến đi thăm vịnh hạ long không
mùa này đi đà lạt là đẹp nhất
chúng mình đi phượt lên hà giang đi
nghỉ lễ này cậu đi đâu chơi
tôi muốn đổi tiền
tôi muốn mở tài khoản ngân hàng
tôi muốn chuyển tiền cho mẹ
chuyển khoản cho tôi nhé
anh đã nhận được tiền chưa
em chuyển rồi anh kiểm tra giúp em
thẻ của tôi bị khóa rồi
tôi quên mã thẻ
lãi suất tiết kiệm bây giờ là bao nhiêu
tôi muốn gửi tiết kiệm sáu tháng
tôi muốn vay tiền mua nhà
tôi muốn gửi bưu phẩm này đi cần thơ
gửi thư này mất mấy ngày
gửi nhanh thì bao nhiêu tiền
tôi đến nhận bưu kiện
cho tôi mua một con tem
tôi muốn đóng tiền điện
tôi muốn đóng tiền nước
tiền học của con đã đóng chưa
tôi bị đau bụng từ sáng
tôi bị cảm rồi
tôi bị ho và sổ mũi
họng tôi bị đau
tôi thấy chóng mặt quá
tôi bị sốt từ hôm qua
tôi muốn khám bệnh
tôi muốn đặt lịch khám với bác sĩ
bác sĩ ơi tôi có sao không
thuốc này uống ngày mấy lần
uống thuốc trước hay sau khi ăn
uống sau bữa ăn nhé
tôi cần nghỉ ngơi bao lâu
hiệu thuốc gần nhất ở đâu
cho tôi mua thuốc hạ sốt
cho tôi một hộp khẩu trang
mấy giờ thì có kết quả xét nghiệm
tôi bị đau răng quá
tôi phải đi nhổ răng
bà tôi phải nằm viện
mẹ tôi vừa ra viện
chân tôi bị sưng
tay tôi bị đứt
gọi cấp cứu ngay
có người bị ngất ở đây
anh có sao không
nhớ uống nhiều nước vào
ăn uống điều độ nhé
dạo này tôi mất ngủ
tôi đang ăn kiêng
tôi muốn giảm cân
sáng nào tôi cũng chạy bộ
chiều nay đi đá bóng không
tối nay có trận bóng đá
đội nào đang thắng
tỷ số bao nhiêu rồi
việt nam vô địch rồi
trận này hay quá
cầu thủ này đá hay thật
tôi thích chơi cầu lông
cuối tuần đi bơi đi
tôi đang học võ
ông tôi sáng nào cũng tập dưỡng sinh
mẹ tôi tập thể dục nhịp điệu mỗi tối
tôi đăng ký học bơi cho con
trận chung kết diễn ra vào tối chủ nhật
hôm nay trời nắng quá
trời nóng như đổ lửa
hôm nay trời mát
trời âm u cả ngày
mưa to quá không đi được
trời có gió mùa đông bắc
sáng nay có sương mù
ngoài trời đang mưa phùn
mưa rồi mang ô theo đi
tuần này trời rét đậm
nhiệt độ giảm mạnh vào cuối tuần
bão sắp vào rồi
đường ngập hết rồi
mùa này hay có mưa rào
trời hửng nắng rồi
trời hôm nay đẹp đi chơi thôi
sáng nay tôi đến văn phòng sớm
tôi đang họp lát nữa gọi lại nhé
anh ấy đang bận họp
cho tôi gặp trưởng phòng
chị ấy hôm nay nghỉ ốm
tôi xin phép về sớm một chút
tôi xin nghỉ buổi chiều
mai tôi đi công tác
tuần sau tôi đi công tác ở đà nẵng
báo cáo này cần nộp trước thứ sáu
anh xem giúp em bản hợp đồng này
em gửi báo cáo cho anh rồi nhé
em sửa lại theo ý anh rồi
tôi chưa làm xong
tôi sẽ hoàn thành trong hôm nay
dự án này bao giờ xong
khách hàng muốn gặp vào chiều mai
cuộc họp dời sang chín giờ
mời mọi người vào phòng họp
hôm nay ai ghi biên bản
tôi có ý kiến thế này
chúng ta cần bàn thêm về việc này
tôi làm thêm giờ đến tối
hôm nay tăng ca rồi
tháng này công ty thưởng thêm
tôi mới được tăng lương
tôi muốn xin nghỉ việc
tôi đi phỏng vấn xin việc
tôi đã được nhận vào làm
ngày đầu tiên đi làm hơi hồi hộp
sếp tôi khá khó tính
đồng nghiệp ở đây rất dễ thương
trưa nay ăn gì đây
đi ăn trưa cùng không
nghỉ trưa một chút đã
máy tính của tôi bị hỏng
máy in hết mực rồi
tôi cần in tài liệu này
mạng hôm nay chậm quá
nhà mình mất mạng rồi
cả khu phố mất điện rồi
xin hỏi ai đấy ạ
a lô tôi nghe đây
cho tôi gặp chị mai
anh nhầm số rồi
tôi gọi mãi không được
máy bận gọi mãi không được
anh nói to lên được không
tôi nghe không rõ
sóng ở đây yếu quá
để tôi gọi lại sau
tôi đang lái xe không nghe được
lúc nãy ai gọi cho tôi
tôi vừa gọi cho chị mà chị không nghe máy
tối nay tôi gọi điện cho bạn nhé
tôi có hẹn với nha sĩ lúc ba giờ
hẹn anh chín giờ sáng mai ở văn phòng
mai mình gặp nhau ở đâu
mấy giờ thì tiện cho anh
thứ hai tuần sau được không
tôi bận mất rồi hẹn hôm khác nhé
xin lỗi tôi phải hủy hẹn
tôi sẽ đến đúng giờ
đừng đến muộn nhé
hôm nay là ngày mấy
mai là ngày bao nhiêu
còn mấy ngày nữa là tết
tháng sau là sinh nhật mẹ
được gặp lại bạn tôi vui lắm
hôm nay tôi buồn quá
tôi đang rất lo
tôi thấy hơi sợ
tôi thấy chán quá
tôi tức lắm rồi đấy
tôi rất tiếc khi nghe tin đó
thật là may quá
thật không thể tin được
bữa tiệc hôm nay tuyệt vời quá
bộ phim đó hay quá đi
thôi chết rồi tôi quên mất
trời ơi sao lại thế
không sao đâu đừng lo
tôi hơi mệt một chút
hôm nay tôi thấy khỏe hơn rồi
tôi rất tự hào về con
tôi thấy có lỗi quá
tôi không muốn nói chuyện bây giờ
để tôi yên một lúc
cảm ơn vì đã lắng nghe
bạn có biết nấu ăn không
bạn có thích nuôi chó không
nhà bạn có mấy người
bạn làm nghề gì
bạn học trường nào
bạn năm nay bao nhiêu tuổi
bạn có anh chị em không
bạn lấy vợ chưa
chị có gia đình chưa
anh ấy là người ở đâu
quê tôi ở nghệ an
quê ngoại tôi ở miền tây
tôi là sinh viên năm ba
tôi làm giáo viên
tôi làm kỹ sư xây dựng
chồng tôi là bác sĩ
vợ tôi làm y tá
bạn có biết đường đến đó không
bạn có chắc không
anh là anh nam có phải không
đúng rồi chính là nó
không phải đâu anh nhầm rồi
vâng ạ cháu biết rồi
dạ vâng em biết rồi
dạ con cảm ơn mẹ
dạ em chào anh
để em xem đã
chắc là được thôi để tôi thử
tôi cũng không biết nữa
có lẽ mai trời mưa
sao bạn không nói sớm
tại sao lại thế
bao giờ thì xong
ai đấy có việc gì không
cái gì vậy cho tôi xem với
cậu mua cái này ở đâu thế
thế à sao tôi không biết
thật à bạn nói thật chứ
tôi đi học bằng xe đạp
hôm nay lớp tôi học thể dục
tuần sau thi học kỳ rồi
tôi chưa ôn bài gì cả
tối nay mình học nhóm nhé
cô giáo giao nhiều bài tập quá
môn toán khó quá
tôi thích học môn lịch sử
hôm nay tôi được cô khen
thầy giáo chủ nhiệm của tôi rất hiền
tôi quên mang sách rồi
cho tôi mượn cái bút
cho mình mượn vở chép bài nhé
giờ ra chơi đi căng tin không
năm nay con vào lớp một
tôi đang ôn thi đại học
tôi muốn du học
tôi đã tốt nghiệp rồi
học phí năm nay tăng
họp phụ huynh vào sáng chủ nhật
con tôi học lớp năm
trường con tôi cách nhà hai cây số
thư viện mở cửa đến tám giờ tối
mai mấy giờ vào học
hôm nay được nghỉ học vì bão
sắp đến giờ rồi đi thôi
đợi chút tôi lấy áo khoác
đi đâu mà vội thế
tôi quên chìa khóa ở nhà
bạn có thấy điện thoại của tôi đâu không
ví của tôi để đâu rồi
tôi làm mất ví rồi
tôi để quên ô trên xe
giúp tôi một tay với
nặng quá không bê nổi
để tôi làm cho
anh cứ để đấy em làm
nhà bên cạnh ồn quá
hàng xóm nhà tôi rất tốt bụng
cho tôi gửi lời hỏi thăm gia đình
cho em gửi lời chào bác
tôi mới nuôi một con mèo
con chó nhà tôi rất khôn
tưới cây giúp mẹ nhé
vườn nhà tôi trồng nhiều rau
năm nay được mùa lúa
bố tôi đi câu cá
chiều nay đi bơi ở biển không
cả nhà đi cắm trại
mình đi leo núi vào cuối tuần
tôi muốn đi du lịch nước ngoài
năm nay nghỉ hè đi đâu
tôi đã đi phú quốc hai lần
bạn đã bao giờ đến huế chưa
ở hội an có nhiều món ngon
chợ đêm đà lạt rất vui
đi thuyền trên sông hương
phong cảnh ở đây đẹp quá
chụp cho mình một tấm ảnh nhé
đứng sát vào nhau một chút
mọi người cười lên nào
chụp lại tấm nữa đi
cho mình xem ảnh với
tôi đang xem phim
tối nay có chương trình ca nhạc trên truyền hình
bật kênh thời sự lên
chuyển sang kênh khác đi
tôi thích nghe nhạc trữ tình
bài hát này hay quá
bạn có biết hát không
tối nay đi hát không
tôi đang đọc một cuốn tiểu thuyết
đọc báo hôm nay chưa
có tin gì mới không
nghe nói giá thịt lợn tăng
nghe nói mai được nghỉ
tôi vừa nghe tin anh ấy chuyển công tác
ông ấy vừa mới nghỉ hưu
bà cụ sống một mình
nhà tôi cách đây không xa
tôi đang tìm nhà để thuê
tiền thuê nhà một tháng bao nhiêu
nhà này có chỗ để xe máy không
tiền điện nước tính riêng
tôi muốn chuyển nhà vào tháng sau
gọi giúp tôi xe chở đồ
mai thợ đến lắp điều hòa
sơn lại nhà trước tết
cửa này bị kẹt không mở được
tôi bị khóa ngoài rồi
cho tôi mượn cái thang
bật bình nóng lạnh lên
tắt bếp ga chưa
hình như có mùi khét
nước bị cắt từ sáng
chiều nay có người đến sửa điện
bật đèn ngủ lên
đắp chăn vào kẻo lạnh
tôi buồn ngủ quá
mấy giờ rồi mà chưa ngủ
sáng mai gọi tôi dậy lúc năm giờ rưỡi
đặt báo thức bảy giờ kém mười lăm
nhắc tôi đi đón con lúc bốn giờ chiều
nhắc tôi gọi điện cho bà vào tối chủ nhật
tìm giúp tôi số điện thoại của bác sĩ
gọi cho mẹ bằng loa ngoài
nhắn cho anh hùng là mai họp lúc tám giờ
nhắn cho chị lan là em đến muộn mười phút
gửi vị trí của tôi cho chồng
hôm nay tôi đi bao nhiêu bước rồi
chơi một bài nhạc thư giãn
dừng nhạc lại một chút
chuyển sang bài tiếp theo
phát lại bài vừa rồi
đọc tin tức buổi sáng
giá vàng hôm nay bao nhiêu
một đô la bằng bao nhiêu tiền việt
ba mươi cộng năm mươi là bao nhiêu
bây giờ ở sài gòn mấy giờ
còn bao lâu nữa đến giờ họp
đường nào đi nhanh nhất
có tắc đường không
tìm cây xăng gần nhất
tìm hiệu thuốc còn mở cửa
mở bản đồ chỉ đường về nhà
bật chế độ im lặng
tắt chuông điện thoại đi
bật đèn pin lên
chụp màn hình giúp tôi
tăng độ sáng màn hình
cho tôi xem lịch tuần này
xóa tin nhắn này đi
lưu số này vào danh bạ
gọi điện có hình cho con gái
ngày mai tôi có mấy cuộc hẹn
con ơi xuống ăn cơm
ai ăn xong thì dọn bát
con nhớ mặc áo ấm
mẹ đi chợ một lát rồi về
bố đang sửa xe ngoài sân
chị gái tôi sắp lấy chồng
anh trai tôi làm ở nước ngoài
hai đứa nhà tôi hay cãi nhau
con út nhà tôi mới biết đi
cháu nội tôi ba tuổi rồi
nhà tôi có bốn thế hệ
mẹ tôi nấu canh cua rất ngon
bữa cơm gia đình thật ấm cúng
mỗi tối cả nhà cùng xem thời sự
cả nhà đi chúc tết họ hàng
hôm nay giỗ ông nội
ngày rằm mẹ tôi thường đi chùa
trung thu này mua đèn ông sao cho con
mua bánh trung thu biếu ông bà
ngày nhà giáo mình tặng hoa cho cô
mùng tám tháng ba tặng quà cho mẹ
em ơi lấy giúp anh cốc nước
mẹ ơi áo con đâu rồi
cái điều khiển để đâu rồi
ai lấy cái kéo của tôi
đi ngủ sớm đi mai còn đi làm
sáng nay tôi ăn bánh mì trứng
trưa nay tôi ăn cơm văn phòng
chiều nay đi uống trà chanh
quán này đông khách quá
phải xếp hàng lâu quá
hôm nay có nhiều việc quá
cả ngày nay tôi chưa ăn gì
tôi vừa đi siêu thị về
hôm nay tôi đi khám răng
tôi đi cắt tóc đây
cắt ngắn giúp tôi một chút
gội đầu hết bao nhiêu tiền
tôi muốn nhuộm tóc màu nâu
tiệm giặt là ở đâu
mai tôi đi làm giấy tờ
tôi đi làm căn cước
phải mang theo những giấy tờ gì
làm thủ tục ở đâu
bao giờ thì có kết quả
tôi phải chờ bao lâu
lấy số thứ tự ở đâu
đến lượt tôi chưa
chị điền vào tờ khai này nhé
ký tên vào đây giúp tôi
xin chị cho xem giấy tờ
tôi bị mất giấy phép lái xe
tôi bị phạt vì vượt đèn đỏ
đội mũ bảo hiểm vào
đi xe cẩn thận nhé
đến nơi thì gọi cho mẹ
đường trơn đi chậm thôi
trời tối rồi về sớm đi
tối nay ở lại ăn cơm nhé
ngồi chơi uống nước đã
mời anh vào nhà
mời bác xơi nước
nhà cháu ở đâu
hôm nào rảnh ghé nhà tôi chơi
lần sau nhớ ghé nhé
tôi phải đi rồi chào mọi người
thôi muộn rồi tôi về đây
cảm ơn vì bữa tối ngon miệng
chúc cả nhà ngủ ngon
nhắn cho mẹ là hôm nay con phải làm thêm giờ nên về muộn mẹ đừng chờ cơm nhé
nhắn cho anh hai là chủ nhật này cả nhà họp mặt ở nhà ông bà nội
nhắn cho cô giáo là hôm nay con em bị sốt nên xin phép nghỉ học một buổi
nhắc tôi mang hồ sơ đi nộp vào tám giờ sáng thứ hai tuần sau
đặt báo thức lúc năm giờ sáng mai để kịp ra sân bay
gọi cho bác sĩ nam để hỏi lịch khám chiều nay
anh ơi chiều nay đi làm về nhớ ghé qua chợ mua ít rau và một cân thịt nhé
em đang đứng chờ ở cổng trường anh đến thì gọi cho em nhé
sáng nay đường đông quá nên chắc khoảng chín giờ tôi mới đến được văn phòng
chị ơi cho em hỏi từ đây đến bến xe miền đông đi xe buýt số mấy ạ
tôi muốn đặt một phòng đôi cho hai người từ ngày mười lăm đến ngày mười tám
cho tôi hỏi quán mình mở cửa từ mấy giờ sáng đến mấy giờ tối
hôm qua con bị sốt cả đêm nên sáng nay tôi phải đưa con đi khám
bác sĩ dặn tôi phải uống thuốc đủ bảy ngày và tái khám sau một tuần
mẹ ơi tối nay con ở lại trường học nhóm nên khoảng mười giờ con mới về
tuần này tôi bận quá nên chắc phải hẹn cậu vào tuần sau
hôm nay trời mưa to quá nên tôi ở nhà nấu cơm và xem phim
năm nay bố mẹ tôi định về quê ăn tết sớm hơn mọi năm
cuối tuần này nếu trời đẹp thì cả nhà mình đi dã ngoại ở ngoại thành nhé
tôi đã gửi hồ sơ xin việc cho ba công ty nhưng chưa nhận được trả lời
anh có thể cho tôi biết cách đi từ khách sạn đến bảo tàng được không
nếu đi xe từ sân bay về trung tâm thì mất khoảng bao nhiêu tiền
chúng tôi có bốn người lớn và hai trẻ em muốn đặt bàn lúc bảy giờ tối
xin lỗi đã làm phiền anh nhưng anh có thể chỉ giúp tôi đường ra ga không
tôi vừa chuyển khoản tiền học phí cho con anh kiểm tra giúp tôi nhé
tháng này chi tiêu nhiều quá phải tiết kiệm lại thôi
con nhớ ăn sáng đầy đủ rồi mới đi học đừng để bụng đói
bà ơi bà có cần cháu mua gì ở chợ không cháu sắp đi đây
hôm nay sinh nhật mẹ nên cả nhà định đi ăn tối ở nhà hàng
cảm ơn mọi người đã đến dự sinh nhật của mình hôm nay
anh chị cho em xin phép về trước vì nhà em có việc gấp
chiều nay năm giờ có cuộc họp phụ huynh ở trường bố mẹ nhớ đến nhé
đường về quê dịp tết lúc nào cũng đông và tắc lắm
trời đã sang thu rồi buổi sáng se se lạnh rất dễ chịu
mùa đông ở miền bắc lạnh và ẩm nên nhớ mặc thật ấm
ở miền nam chỉ có hai mùa là mùa mưa và mùa khô
từ nhà tôi đến công ty đi xe máy mất khoảng hai mươi phút
mỗi sáng tôi dậy lúc sáu giờ tập thể dục rồi ăn sáng và đi làm
tôi thường đi siêu thị vào tối thứ sáu vì lúc đó ít người
cửa hàng tiện lợi dưới nhà mở cửa cả ngày lẫn đêm
nếu anh mua từ ba cái trở lên thì cửa hàng sẽ giảm giá mười phần trăm
cái điện thoại này dùng được hơn ba năm rồi mà vẫn còn tốt
chiếc xe máy của tôi dạo này hay bị chết máy chắc phải đem đi sửa
anh thợ ơi sửa cái máy giặt này hết khoảng bao nhiêu tiền
tôi muốn đăng ký một khóa học nấu ăn vào buổi tối
con tôi rất thích vẽ tranh nên tôi cho cháu đi học vẽ vào cuối tuần
thầy giáo nói nếu chăm chỉ thì em sẽ đỗ vào trường chuyên
hôm nay lớp em được đi tham quan bảo tàng lịch sử
em xin lỗi cô vì hôm qua em quên làm bài tập về nhà
mọi người nhớ mang theo áo mưa vì chiều nay có thể có dông
dự báo thời tiết nói ngày mai trời nắng nóng nhiệt độ lên tới ba mươi tám độ
sau cơn mưa không khí trong lành và mát mẻ hẳn
anh ấy là người rất tốt luôn sẵn sàng giúp đỡ mọi người
tôi rất ngưỡng mộ cách chị ấy vừa đi làm vừa chăm sóc gia đình
dù bận đến mấy tôi cũng cố gắng gọi điện cho bố mẹ mỗi tuần
lần đầu đến hà nội tôi rất ấn tượng với phố cổ và hồ gươm
món ăn tôi thích nhất là bún bò huế và cơm tấm sài gòn
nếu có dịp tôi muốn đi xuyên việt bằng tàu hỏa một lần
hôm qua tôi gặp lại người bạn cũ sau mười năm không liên lạc
chúng tôi ngồi nói chuyện với nhau đến tận nửa đêm
tôi đang tìm một căn hộ nhỏ gần chỗ làm để tiện đi lại
chủ nhà nói tiền thuê mỗi tháng là năm triệu chưa kể điện nước
tôi đã đặt vé máy bay đi phú quốc cho cả nhà vào dịp nghỉ lễ
chuyến bay của chúng tôi bị hoãn vì thời tiết xấu
xin quý khách vui lòng thắt dây an toàn và tắt điện thoại
tôi bị lạc đường anh có thể chỉ giúp tôi về khách sạn được không
chị có thể gói món này lại giúp em để em mang về không
anh ơi cho em đổi món này sang món khác vì em không ăn được hành
hôm nay quán đông quá nên anh chị vui lòng chờ khoảng mười lăm phút
cảm ơn anh chị đã ủng hộ quán hẹn gặp lại lần sau
bố tôi bảo sức khỏe là quý nhất nên phải giữ gìn
mẹ dặn con đi đường phải cẩn thận và không được nói chuyện với người lạ
tôi thấy không khỏe lắm chắc hôm nay phải xin nghỉ làm một ngày
sau khi uống thuốc tôi thấy đỡ hơn nhiều rồi
anh có cần tôi đưa đến bệnh viện không
nhà thuốc này có bán thuốc đau dạ dày không chị
dạo này tôi hay bị đau lưng vì ngồi máy tính nhiều
bạn nên đi ngủ sớm và hạn chế uống cà phê vào buổi tối
chúng ta nên đi bộ nhiều hơn thay vì đi xe máy
trận đấu tối qua rất kịch tính đến phút cuối mới có bàn thắng
đội tuyển việt nam sẽ gặp đội tuyển thái lan vào tối thứ bảy
tôi đã mua được hai vé xem bóng đá ở sân mỹ đình
sáng chủ nhật nào tôi cũng đi đánh cầu lông với mấy người bạn
tôi mới đăng ký tập ở phòng tập gần nhà
cậu ơi cho mình mượn quyển sách đó vài hôm nhé đọc xong mình trả
tôi đã đọc xong cuốn sách cậu giới thiệu hay thật đấy
tối nay có ai rảnh đi ăn tối với mình không
lâu rồi cả nhóm chưa gặp nhau hay là cuối tuần này tụ tập đi
chị ơi em đặt hàng hôm qua mà sao đến giờ vẫn chưa thấy giao
nhân viên giao hàng gọi điện nói khoảng ba giờ chiều sẽ đến
nếu không có ai ở nhà thì anh cứ gửi ở chỗ bảo vệ giúp em
tôi muốn gửi gói quà này cho con gái đang học ở đà nẵng
tôi muốn rút năm triệu từ tài khoản tiết kiệm
chị ơi cho em hỏi làm thẻ ngân hàng mất bao lâu
anh vui lòng cho tôi xem chứng minh thư và ký vào đây
sáng nay tôi dậy muộn nên không kịp ăn sáng
tôi vừa đi làm về mệt quá chỉ muốn đi ngủ
hôm nay ở công ty có nhiều chuyện vui lắm để tối em kể anh nghe
anh có muốn đi dạo quanh hồ một vòng trước khi ăn tối không
tôi đang tiết kiệm tiền để cuối năm đưa bố mẹ đi du lịch
nhà tôi ở tầng năm nhưng không có thang máy nên leo mệt lắm
khu này buổi tối hơi vắng nên đi về nhớ cẩn thận
ở đây mỗi sáng đều có chợ họp từ rất sớm
tôi thích không khí yên bình ở quê hơn ở thành phố
ngày mai tôi sẽ dẫn bạn đi ăn những món ngon nhất ở đây
em ơi tối nay mình đi ăn ở quán quen nhé anh đặt bàn rồi
cả nhà ơi bữa tối đã sẵn sàng mọi người xuống ăn cơm đi
con có muốn ăn thêm gì không để mẹ nấu
tôi đã hứa với con là cuối tuần sẽ đưa cháu đi sở thú
nhớ tắt điện và khóa cửa cẩn thận trước khi ra ngoài
hôm nay tôi quên mang ví nên phải mượn tiền đồng nghiệp
điện thoại của tôi bị hỏng màn hình nên không đọc được tin nhắn
nếu có việc gì gấp thì cứ gọi thẳng cho tôi bất cứ lúc nào
tôi gọi cho anh mấy lần mà anh không nghe máy có chuyện gì vậy
xin lỗi tôi đang ở trong rạp chiếu phim nên không nghe máy được
tôi sẽ nhắn tin cho anh địa chỉ và số điện thoại của cửa hàng
chúc anh chị trăm năm hạnh phúc sớm sinh quý tử
chúc thầy cô luôn mạnh khỏe và hạnh phúc
năm mới chúc cả nhà sức khỏe dồi dào và vạn sự như ý
""".strip().split("\n")

NAMES = ["lan", "hùng", "minh", "hoa", "tuấn", "mai", "nam", "linh", "dũng", "hương", "quang", "thảo",
         "phương", "đức", "trang", "hải", "ngọc", "long", "yến", "khoa", "bình", "thủy", "sơn", "vy"]
KIN = ["anh", "chị", "em", "bạn", "ông", "bà", "cô", "chú", "bác", "mẹ", "bố", "con", "cháu"]
PLACES = ["hà nội", "hải phòng", "đà nẵng", "huế", "cần thơ", "nha trang", "vũng tàu", "đà lạt", "sa pa",
          "hạ long", "quảng ninh", "nghệ an", "thanh hóa", "bình dương", "đồng nai", "hội an", "phú quốc",
          "quy nhơn", "thái nguyên", "nam định", "lào cai", "cà mau", "bến tre", "long an"]
SPOTS = ["chợ", "trường", "bệnh viện", "nhà ga", "sân bay", "công viên", "siêu thị", "bưu điện", "ngân hàng",
         "nhà hàng", "quán cà phê", "văn phòng", "thư viện", "nhà sách", "rạp chiếu phim", "bến xe", "hiệu thuốc"]
FOODS = ["phở bò", "bún chả", "bánh mì", "cơm tấm", "bún bò huế", "gỏi cuốn", "chả giò", "bánh xèo",
         "cà phê sữa đá", "trà đá", "nước cam", "cháo gà", "mì quảng", "hủ tiếu", "xôi", "chè", "cơm rang"]
THINGS = ["điện thoại", "máy tính", "cái bàn", "cái ghế", "đôi giày", "chiếc áo", "cái túi", "quyển sách",
          "xe máy", "xe đạp", "cái ô", "chìa khóa", "ví tiền", "đồng hồ", "tủ lạnh", "máy giặt", "cái quạt"]
VERBS = ["đi", "đến", "về", "ghé", "qua"]
UNITS = ["cân", "quả", "cái", "chiếc", "hộp", "chai", "gói", "bó", "lít", "mét", "người", "phòng", "vé"]
WEEKDAYS = ["thứ hai", "thứ ba", "thứ tư", "thứ năm", "thứ sáu", "thứ bảy", "chủ nhật"]
PARTS = ["sáng", "trưa", "chiều", "tối", "đêm"]
FEEL = ["vui", "buồn", "mệt", "đói", "khát", "bận", "rảnh", "lo", "ốm", "khỏe"]
ADJ = ["đẹp", "ngon", "rẻ", "đắt", "xa", "gần", "to", "nhỏ", "mới", "cũ", "nóng", "lạnh", "sạch", "hay"]
WHEN = ["hôm nay", "ngày mai", "hôm qua", "tuần sau", "tuần trước", "tháng sau", "năm ngoái", "bây giờ",
        "tối nay", "sáng mai", "chiều nay", "cuối tuần"]


def money(r):
    n = r.choice([r.randint(1, 99) * 1000, r.randint(1, 999) * 1000, r.randint(1, 50) * 100000,
                  r.randint(1, 20) * 1000000, r.randint(10, 990) * 100])
    return read_number(n) + " " + r.choice(["đồng", "đồng", "nghìn đồng" if False else "đồng"])


def clock(r):
    h = r.randint(1, 12)
    m = r.choice([0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, r.randint(0, 59)])
    s = read_number(h) + " giờ"
    if m == 30 and r.random() < 0.4:
        s += " rưỡi"
    elif m >= 45 and r.random() < 0.3:
        return read_number(h % 12 + 1) + " giờ kém " + read_number(60 - m)
    elif m:
        s += " " + read_number(m) + (" phút" if r.random() < 0.6 else "")
    if r.random() < 0.5:
        s += " " + r.choice(PARTS)
    return s


def date(r):
    d, mth = r.randint(1, 31), r.randint(1, 12)
    s = "ngày " + read_number(d) + " tháng " + read_number(mth)
    if r.random() < 0.5:
        s += " năm " + read_number(r.randint(1945, 2035))
    return s


def phone(r):
    return read_digits("0" + str(r.choice([3, 5, 7, 8, 9])) + "".join(str(r.randint(0, 9)) for _ in range(8)))


def num_any(r):
    return read_number(r.choice([r.randint(0, 10), r.randint(11, 99), r.randint(100, 999), r.randint(1000, 99999),
                                 r.randint(100000, 9999999)]))


TEMPLATES = [
    lambda r: "bây giờ là %s" % clock(r),
    lambda r: "%s tôi có hẹn lúc %s" % (r.choice(WHEN), clock(r)),
    lambda r: "cuộc họp bắt đầu lúc %s %s" % (clock(r), r.choice(WEEKDAYS)),
    lambda r: "hôm nay là %s %s" % (r.choice(WEEKDAYS), date(r)),
    lambda r: "tôi sinh %s" % date(r),
    lambda r: "hạn nộp hồ sơ là %s" % date(r),
    lambda r: "cái này giá %s" % money(r),
    lambda r: "tổng cộng hết %s" % money(r),
    lambda r: "cho tôi %s %s %s" % (num_any(r) if r.random() < 0.3 else read_number(r.randint(1, 12)),
                                   r.choice(UNITS), r.choice(FOODS + THINGS)),
    lambda r: "số điện thoại của tôi là %s" % phone(r),
    lambda r: "%s gọi cho %s theo số %s nhé" % (r.choice(KIN), r.choice(KIN), phone(r)),
    lambda r: "nhà tôi ở số %s đường %s" % (read_number(r.randint(1, 300)), r.choice(NAMES + PLACES)),
    lambda r: "%s %s đi %s" % (r.choice(WHEN), r.choice(KIN + NAMES), r.choice(PLACES + SPOTS)),
    lambda r: "%s ơi %s có muốn ăn %s không" % (r.choice(KIN), r.choice(KIN), r.choice(FOODS)),
    lambda r: "tôi muốn %s %s" % (r.choice(VERBS), r.choice(SPOTS)),
    lambda r: "từ đây đến %s khoảng %s cây số" % (r.choice(PLACES + SPOTS), read_number(r.randint(1, 900))),
    lambda r: "%s %s có %s người" % (r.choice(["lớp tôi", "công ty", "gia đình tôi", "đội bóng", "nhóm này"]),
                                     r.choice(["hiện", "bây giờ", "tổng cộng", "chỉ"]), read_number(r.randint(2, 120))),
    lambda r: "nhiệt độ %s khoảng %s độ" % (r.choice(WHEN), read_number(r.randint(5, 40))),
    lambda r: "%s cảm thấy %s quá" % (r.choice(KIN + ["tôi", "mình"]), r.choice(FEEL)),
    lambda r: "%s này %s thật" % (r.choice(FOODS + THINGS + SPOTS), r.choice(ADJ)),
    lambda r: "%s đang ở %s" % (r.choice(NAMES + KIN), r.choice(PLACES + SPOTS)),
    lambda r: "chuyến tàu đi %s khởi hành lúc %s" % (r.choice(PLACES), clock(r)),
    lambda r: "tôi đã chờ %s %s rồi" % (read_number(r.randint(2, 59)), r.choice(["phút", "tiếng", "ngày", "tuần"])),
    lambda r: "năm nay %s %s tuổi" % (r.choice(KIN + NAMES), read_number(r.randint(1, 99))),
    lambda r: "%s mua %s hết %s" % (r.choice(KIN + NAMES), r.choice(THINGS + FOODS), money(r)),
    lambda r: "tôi cần %s %s trước %s" % (r.choice(["gửi", "xong", "nộp", "sửa", "đọc"]),
                                         r.choice(["báo cáo", "hồ sơ", "bài tập", "hợp đồng", "thư"]), clock(r)),
    lambda r: "điểm thi của %s là %s phẩy %s" % (r.choice(NAMES), read_number(r.randint(0, 10)),
                                                 read_number(r.choice([0, 25, 5, 75]))),
    lambda r: "dân số %s khoảng %s người" % (r.choice(PLACES), num_any(r)),
    lambda r: "phòng số %s ở tầng %s" % (read_number(r.randint(100, 999)), read_number(r.randint(1, 30))),
    lambda r: "tuyến xe buýt số %s đi %s" % (read_number(r.randint(1, 150)), r.choice(PLACES + SPOTS)),
    lambda r: "%s %s %s" % (r.choice(["nhắc tôi", "hẹn giờ", "đặt báo thức", "gọi tôi dậy"]),
                            r.choice(["lúc", "vào lúc"]), clock(r)),
    lambda r: "%s %s lúc %s" % (r.choice(["mở nhạc", "bật đèn", "tắt ti vi", "bật điều hòa", "khóa cửa"]),
                                r.choice(WHEN), clock(r)),
    lambda r: "chúng ta gặp nhau ở %s %s nhé" % (r.choice(SPOTS), r.choice(WHEN)),
    lambda r: "%s và %s là bạn thân từ năm %s" % (r.choice(NAMES), r.choice(NAMES), read_number(r.randint(1980, 2024))),
    lambda r: "mã số của bạn là %s" % read_digits(str(r.randint(1000, 999999))),
    lambda r: "tỷ số hiện tại là %s %s" % (read_number(r.randint(0, 5)), read_number(r.randint(0, 5))),
    lambda r: "giảm giá %s phần trăm cho %s" % (read_number(r.randint(5, 70)), r.choice(THINGS + FOODS)),
]


def generate(n, seed, sentences=SENTENCES):
    r = random.Random(seed)
    out = []
    for _ in range(n):
        if r.random() < 0.3:
            s = r.choice(sentences)
            if r.random() < 0.5:
                s = r.choice(KIN + NAMES) + " ơi " + s
        else:
            s = r.choice(TEMPLATES)(r)
        out.append(" ".join(s.split()))
    return out
